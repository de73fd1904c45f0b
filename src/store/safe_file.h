// Files written safely: the shared machinery of urls.txt and of the site
// lists the programs export. Windows only; internal to the store.
//
// Failures are thrown as Failure with source "ZendrelPanel" and the numbers of
// FailureFromWin32 (kPermissionDenied when access is refused, kFileNotFound when a file is
// missing).
#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace zendrel {

namespace detail {

// The temporary file that a save by process `pid` names with `counter`.
std::wstring TempPathFor(const std::wstring& path, DWORD pid, unsigned counter);

}  // namespace detail

namespace safe_file {

[[noreturn]] void Throw(DWORD error);
[[noreturn]] void ThrowLastError();

// The attributes of an existing file; a folder counts as a missing file.
DWORD ExistingFileAttributes(const std::wstring& path);

// The whole content of a file (at most 2 GB), read while others may write or
// delete it.
std::string ReadWholeFile(const std::wstring& path);
// Whether the file holds exactly `bytes`, read block by block beside them
// (a long file is not copied to memory to tell).
bool FileHolds(const std::wstring& path, std::string_view bytes);

enum class Missing { Refuse, Create };

// Replaces the content of `path` with the bytes `content` writes, so that the
// file is never left empty, half-written or missing: the bytes go to a
// temporary file in the same folder, which gets the original's attributes and
// access list and then takes its place with a single rename. On failure the
// file stays as it was and the temporary file is removed. A read-only file,
// or one this user may not write or delete, is refused with kPermissionDenied before anything
// is written; a reader that holds the file without sharing its deletion is
// waited for, for up to about two seconds, both before and at the rename. A
// missing file is refused with kFileNotFound, or with Missing::Create made: the temporary
// file then keeps what the folder gives a new file. `content` runs after the
// refusals and hands the bytes, a piece at a time and in order, to the Writer
// it is given (so a long file need not be whole in memory first);
// `afterBlock`, when set, runs after each block written.
using Writer = std::function<void(std::string_view)>;
void ReplaceContent(const std::wstring& path, const std::function<void(const Writer&)>& content,
                    Missing missing, const std::function<void(std::size_t)>& afterBlock = nullptr);

}  // namespace safe_file

}  // namespace zendrel
