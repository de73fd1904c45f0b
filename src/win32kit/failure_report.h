// Reporting a failure in the standard message box.
#pragma once

#include <windows.h>

#include <string>

#include "failure.h"

namespace zendrel {

// The standard message box, style 16 (OK, stop icon), with the four-line
// failure report under the given title. Returns when the user closes it.
void ShowFailureReport(HWND owner, const std::wstring& introduction, const std::wstring& title,
                       const Failure& failure) noexcept;

}  // namespace zendrel
