// Reading and rewriting urls.txt, the approved-site file in the program's
// folder. Windows only.
//
// The file is text in the ANSI code page, one site per line, each line ended
// by CR LF. It must exist: neither function ever creates it. Both throw
// Failure, with source "ZendrelPanel" and the numbers of FailureFromWin32
// (kPermissionDenied when access is refused, kFileNotFound when the file is
// missing). A path too long
// for a plain path (a program folder deeper than MAX_PATH) is reached in the
// extended-length form.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "win32_failure.h"

namespace zendrel {

inline constexpr const wchar_t* kUrlsFileSource = kProgramName;

// The approved sites in the file, as ParseUrlLines gives them; a UTF-8
// byte-order mark at its start is no part of the first site.
std::vector<std::wstring> LoadUrlsFile(const std::wstring& path);
// The file's bytes only: a caller that kept the bytes of an earlier read
// tells a changed file without working out its sites.
std::string ReadUrlsFileBytes(const std::wstring& path);
// Whether the file holds exactly `bytes`, without reading it into memory.
bool UrlsFileHolds(const std::wstring& path, std::string_view bytes);
// The sites that bytes of the file hold (LoadUrlsFile is both steps).
std::vector<std::wstring> UrlsFileSites(std::string_view bytes);

// Replaces the content of the file with one line per entry. The file is never
// left empty, half-written or missing, even if the process is killed at any
// moment: the new content goes to a temporary file in the same folder, which
// gets the original's attributes and access list and then takes its place
// with a single rename. On failure the file stays as it was and the temporary
// file is removed. A read-only file, or one whose access list does not let
// this user write or delete it, is refused with kPermissionDenied at once, before anything
// is written. A reader that holds the file
// without sharing its deletion (the add-on, through fopen) is waited for, with
// growing pauses, for up to about two seconds, both before anything is written
// and at the rename; a reader that holds it longer makes the save fail with kPermissionDenied.
void SaveUrlsFile(const std::wstring& path, const std::vector<std::wstring>& lines);

namespace detail {

// SaveUrlsFile with a hook called after each block written to the temporary
// file, with the number of bytes written so far. Tests throw from it to make
// the save fail part-way.
void SaveUrlsFile(const std::wstring& path, const std::vector<std::wstring>& lines,
                  const std::function<void(std::size_t)>& afterBlock);

// The temporary file that a save by process `pid` names with `counter`.
std::wstring TempPathFor(const std::wstring& path, DWORD pid, unsigned counter);

}  // namespace detail

}  // namespace zendrel
