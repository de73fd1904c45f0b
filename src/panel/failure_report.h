// Reporting a failure in the standard message box, and turning the exception
// being handled into the failure to report.
#pragma once

#include <windows.h>

#include <string>

#include "failure.h"

namespace zendrel {

// The failure of the exception being handled; call it only inside a catch
// block. A Failure is returned as it is, running out of memory as 7, and any
// other exception as 51 "Internal error" with the exception's own text.
Failure CurrentFailure() noexcept;

// The standard message box, style 16 (OK, stop icon), with the four-line
// failure report under the given title. Returns when the user closes it.
void ShowFailureReport(HWND owner, const std::wstring& introduction, const std::wstring& title,
                       const Failure& failure) noexcept;

}  // namespace zendrel
