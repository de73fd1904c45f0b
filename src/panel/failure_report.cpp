#include "failure_report.h"

#include <exception>
#include <new>

namespace zendrel {

namespace {

constexpr wchar_t kSource[] = L"ZendrelPanel";
constexpr std::int32_t kInternalError = 51;

std::wstring Widen(const char* text) {
    std::wstring wide;
    for (const char* p = text; p && *p; ++p)
        wide += static_cast<wchar_t>(static_cast<unsigned char>(*p));
    return wide;
}

}  // namespace

Failure CurrentFailure() noexcept {
    try {
        try {
            throw;
        } catch (const Failure& failure) {
            return failure;
        } catch (const std::bad_alloc&) {
            return Failure(kOutOfMemory, kSource);
        } catch (const std::exception& e) {
            return Failure(kInternalError, L"Internal error: " + Widen(e.what()), kSource);
        } catch (...) {
            return Failure(kInternalError, L"Internal error", kSource);
        }
    } catch (...) {
        // Building the failure itself ran out of memory.
        std::terminate();
    }
}

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
