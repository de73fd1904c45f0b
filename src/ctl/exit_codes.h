// The exit codes of zendrelctl, as its help and the README list them.
#pragma once

#include <string>

namespace zendrel::ctl {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailure = 1,   // any other failure
    kExitUsage = 2,     // wrong usage, or a site that urls.txt cannot hold
    kExitPassword = 3,  // the settings password is missing or wrong
    kExitRefused = 4,   // no rights, or a file held by another program
    kExitPolicy = 5,    // the setting is held by Group Policy
};

// Ends a command with an exit code and a message for standard error.
struct CommandError {
    ExitCode code;
    std::wstring message;
};

}  // namespace zendrel::ctl
