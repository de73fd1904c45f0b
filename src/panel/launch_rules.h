// What the window may hand to the shell. The activity log's path and the
// requested sites come from values that every user can write (the add-on runs
// as the user), so they must not be able to make the administrator run a
// program. Needs no Windows.
#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// The types that run something when the shell opens them, besides those of
// PATHEXT (".COM;.EXE;.BAT;..." as the environment gives it).
inline constexpr std::wstring_view kRunningTypes[] = {
    L".lnk", L".url", L".scr", L".pif",         L".cpl",       L".msi", L".hta", L".js",  L".jse",
    L".vbs", L".vbe", L".wsf", L".wsh",         L".ps1",       L".reg", L".com", L".exe", L".bat",
    L".cmd", L".msc", L".jar", L".application", L".appref-ms", L".scf", L".inf"};

// Whether path can name a document on this computer: an absolute path
// ("C:\..." or "\\server\share\..."), not a folder name (ending in a
// separator), no further colon (no protocol, no alternate stream), and not of
// a type that runs something (kRunningTypes or a type in pathExt). Trailing
// dots and blanks, which Windows drops from a file name, are dropped first.
bool IsDocumentPath(std::wstring_view path, std::wstring_view pathExt);

// Whether a requested entry can be a web address: not empty, and no blanks,
// quotation marks, angle brackets or control characters.
bool CanBeWebAddress(std::wstring_view entry);

// The text as a message may show it: control characters as "?", and cut to
// `limit` characters with "..." after.
std::wstring Shown(std::wstring_view text, std::size_t limit = 200);

}  // namespace zendrel
