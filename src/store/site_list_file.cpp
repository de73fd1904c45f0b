#include "site_list_file.h"

#include <windows.h>

#include <new>

#include "ansi.h"
#include "failure.h"
#include "safe_file.h"
#include "site_rules.h"
#include "site_text.h"

namespace zendrel {

namespace {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int length = static_cast<int>(text.size());
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) safe_file::ThrowLastError();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::string ExportBytes(const std::vector<std::wstring>& sites, SiteListFormat format) {
    if (format == SiteListFormat::Utf8) return "\xEF\xBB\xBF" + ToUtf8(JoinUrlLines(sites));
    for (const std::wstring& site : sites)
        if (!FitsAnsi(site))
            throw Failure(kInvalidArgument,
                          L"\"" + site +
                              L"\" has characters this computer's code page cannot hold: "
                              L"export the list as UTF-8",
                          kProgramName);
    return ToAnsi(JoinUrlLines(sites));
}

}  // namespace

DecodedText ReadTextFile(const std::wstring& path) {
    try {
        safe_file::ExistingFileAttributes(path);
        return DecodeTextFile(safe_file::ReadWholeFile(path),
                              [](std::string_view bytes) { return FromAnsi(bytes); });
    } catch (const std::bad_alloc&) {
        safe_file::Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

std::wstring SiteRefusal(std::wstring_view site) {
    switch (CheckSite(site)) {
        case SiteProblem::None:
            return L"";
        case SiteProblem::Empty:
            return L"empty";
        case SiteProblem::ControlCharacter:
            return L"a control character, such as a line break";
        case SiteProblem::NotInCodePage:
            return L"characters this computer's code page cannot hold";
    }
    return L"refused";
}

SiteImport ImportSiteFile(const std::wstring& path, const std::vector<std::wstring>& listed) {
    DecodedText decoded = ReadTextFile(path);
    try {
        return ReadSiteList(decoded.text, listed, SiteRefusal);
    } catch (const std::bad_alloc&) {
        safe_file::Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

void ExportSiteList(const std::wstring& path, const std::vector<std::wstring>& sites,
                    SiteListFormat format) {
    try {
        safe_file::ReplaceContent(
            path, [&](const safe_file::Writer& write) { write(ExportBytes(sites, format)); },
            safe_file::Missing::Create);
    } catch (const std::bad_alloc&) {
        safe_file::Throw(ERROR_NOT_ENOUGH_MEMORY);
    }
}

}  // namespace zendrel
