// Windows errors as the numbered failures that the settings program reports.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "failure.h"

namespace zendrel {

// The failure for a Windows error code: access denied, sharing and lock
// violations give kPermissionDenied, file not found kFileNotFound, path not
// found kPathNotFound, disk full kDiskFull, out of memory kOutOfMemory, each
// with its standard description; every other error gives kInvalidArgument
// with the system's own message text.
Failure FailureFromWin32(DWORD error, std::wstring source);

// FailureFromWin32 for the calling thread's last error.
inline Failure FailureFromLastError(std::wstring source) {
    return FailureFromWin32(GetLastError(), std::move(source));
}

}  // namespace zendrel
