// Handing a document or a web address to the shell's default action, with
// the user's normal rights.
#pragma once

#include <string>

namespace zendrel {

// Whether this process runs with the rights of an elevated administrator.
bool RunningElevated();

// Opens target with the program the shell picks for it, never with this
// process's elevated rights: when this process runs elevated, the desktop
// shell (which runs with the user's normal rights) opens it, so the browser or
// viewer does not inherit the elevation; where no desktop shell can be
// reached, nothing is opened and false is returned. Otherwise true (the shell
// itself reports a target that it cannot open).
bool ShellOpen(const std::wstring& target);

// The message of a ShellOpen that returned false, naming what was not opened.
std::wstring NotOpenedElevatedText(const std::wstring& target);

}  // namespace zendrel
