// Windows errors as the numbered failures that the settings program reports.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "failure.h"

namespace zendrel {

// The failure for a Windows error code: access denied, sharing and lock
// violations give 70 "Permission denied", file not found 53, path not found
// 76, disk full 61, out of memory 7, each with its standard description;
// every other error gives 5 with the system's own message text.
Failure FailureFromWin32(DWORD error, std::wstring source);

// FailureFromWin32 for the calling thread's last error.
inline Failure FailureFromLastError(std::wstring source) {
    return FailureFromWin32(GetLastError(), std::move(source));
}

}  // namespace zendrel
