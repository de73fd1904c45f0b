// Site lists in files the user names: reading one for import, writing the
// approved sites for export. Windows only. Failures are thrown as Failure
// with source "ZendrelPanel" (kPermissionDenied when access is refused or the file is held
// by another program, kFileNotFound when it is missing).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "site_import.h"

namespace zendrel {

// The text of a file in any encoding DecodeTextFile knows, ANSI being the
// system's code page.
DecodedText ReadTextFile(const std::wstring& path);

// Why urls.txt cannot hold `site` (CheckSite's verdict in words); empty when
// it can.
std::wstring SiteRefusal(std::wstring_view site);

// The sites a file adds to `listed` (ReadSiteList with SiteRefusal).
SiteImport ImportSiteFile(const std::wstring& path, const std::vector<std::wstring>& listed);

enum class SiteListFormat {
    Ansi,  // as urls.txt: the ANSI code page, CR LF
    Utf8,  // UTF-8 with a byte-order mark, CR LF
};

// Writes one line per site to `path`, a new file or an existing one, safely:
// a temporary file in the same folder and one rename (an existing file keeps
// its attributes and access list; a read-only one is refused with kPermissionDenied). A site
// that the ANSI code page cannot hold makes an ANSI export fail with 5 before
// anything is written, rather than reach the file garbled.
void ExportSiteList(const std::wstring& path, const std::vector<std::wstring>& sites,
                    SiteListFormat format);

}  // namespace zendrel
