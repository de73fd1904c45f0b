// The command line of zendrelctl: its commands, options and help, parsed
// with CLI11, and the run of the command it names.
#pragma once

#include <string>
#include <vector>

#include "exit_codes.h"

namespace zendrel::ctl {

// Runs the command that `arguments` (without the program's name) name, with
// urls.txt in `programFolder` unless --folder says otherwise; the exit code.
ExitCode Run(const std::vector<std::wstring>& arguments, const std::wstring& programFolder);

}  // namespace zendrel::ctl
