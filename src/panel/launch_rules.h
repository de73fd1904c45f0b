// What the window may hand to the shell. The activity log's path and the
// requested sites come from values that every user can write (the add-on runs
// as the user), so they must not be able to make the administrator run a
// program. Needs no Windows.
#pragma once

#include <string>
#include <string_view>

namespace zendrel {

// The types of plain text document that "View Activity Log" opens; any other
// type, or none, is refused.
inline constexpr std::wstring_view kTextTypes[] = {L".txt", L".log", L".csv"};

// Why a recorded activity-log location is not opened, judged by its text
// alone (before anything touches the path).
enum class LogPathRefusal {
    None,          // may be opened
    NotLocal,      // not "X:\..." on a drive letter: a network (UNC), "\\?\" or device
                   // path, a relative path, an address, a stream, a folder name
    NotPlainText,  // a type other than those of kTextTypes, or none
};

// The text checks of a log location: a path on a drive letter ("C:\..."),
// with no further colon, no control character and no character that a file
// name cannot hold, not a device's name (CON, NUL, COM1...), naming a file (not ending in a
// separator) whose type is one of kTextTypes, compared without regard to case. Trailing dots and
// blanks, which Windows drops from a file name, are dropped first.
LogPathRefusal CheckLogPath(std::wstring_view path);

// Whether `path` names something inside `folder` (at any depth, not the
// folder itself), judged by the text alone: separators "\\" and "/" alike,
// "." and empty parts dropped, ".." taking away the part before it, letters
// compared without regard to case. "...\\Zendrel2\\x" is not inside
// "...\\Zendrel". A part of dots and blanks other than "." and ".." makes
// the path count as outside, and so does an empty folder.
bool IsInsideFolder(std::wstring_view path, std::wstring_view folder);

// Whether a requested entry can be a web address: not empty, and no blanks,
// quotation marks, angle brackets or control characters.
bool CanBeWebAddress(std::wstring_view entry);

// The text as a message may show it: control characters as "?", and cut to
// `limit` characters with "..." after.
std::wstring Shown(std::wstring_view text, std::size_t limit = 200);

}  // namespace zendrel
