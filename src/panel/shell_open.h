// Handing a document or a web address to the shell's default action, with
// the user's normal rights.
#pragma once

#include <string>

namespace zendrel {

// Whether this process runs with the rights of an elevated administrator.
bool RunningElevated();

// Opens target with the program the shell picks for it. When this process
// runs elevated, the desktop shell (which runs with the user's normal rights)
// opens it, so the browser or viewer does not inherit the elevation; where no
// desktop shell can be reached, the shell of this process opens it.
void ShellOpen(const std::wstring& target);

}  // namespace zendrel
