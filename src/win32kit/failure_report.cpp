#include "failure_report.h"

namespace zendrel {

void ShowFailureReport(HWND owner, const std::wstring& introduction, const std::wstring& title,
                       const Failure& failure) noexcept {
    try {
        std::wstring text = FailureReport(introduction, failure);
        MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONHAND);
    } catch (...) {
        MessageBoxW(owner, L"Out of memory", title.c_str(), MB_OK | MB_ICONHAND);
    }
}

}  // namespace zendrel
