// The name of the running program, as the kit's windows use it: the source
// of the failures they raise and the title of the boxes that have no title of
// their own. The program sets it once at start; until then it is the running
// module's file name without its extension.
#pragma once

#include <string>

namespace zendrel {

const std::wstring& ProgramName();
void SetProgramName(std::wstring name);

}  // namespace zendrel
