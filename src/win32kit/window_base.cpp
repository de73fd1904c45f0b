#include "window_base.h"

#include "failure_report.h"
#include "program_name.h"

namespace zendrel {

void WindowBase::ReportUnhandled(const Failure& failure) noexcept {
    ShowFailureReport(hwnd_, L"Error occurred trying to handle a window event: ", ProgramName(),
                      failure);
}

std::optional<LRESULT> WindowBase::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_NCDESTROY) {
        OnDestroyed();
        hwnd_ = nullptr;
        return std::nullopt;
    }
    try {
        return HandleMessage(msg, wParam, lParam);
    } catch (...) {
        ReportUnhandled(CurrentFailure());
        return LRESULT{0};
    }
}

LRESULT CALLBACK WindowBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                        LPARAM lParam) noexcept {
    if (msg == WM_NCCREATE) {
        auto* self =
            static_cast<WindowBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    std::optional<LRESULT> result = self->Dispatch(msg, wParam, lParam);
    return result ? *result : DefWindowProcW(hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK WindowBase::DialogProc(HWND hwnd, UINT msg, WPARAM wParam,
                                        LPARAM lParam) noexcept {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<WindowBase*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    }
    auto* self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_NCDESTROY) SetWindowLongPtrW(hwnd, DWLP_USER, 0);
    std::optional<LRESULT> result = self->Dispatch(msg, wParam, lParam);
    if (!result) return FALSE;
    // A dialog procedure's own result for a message goes through DWLP_MSGRESULT,
    // except for the messages whose result is the return value itself.
    if (msg == WM_INITDIALOG || msg == WM_CTLCOLORSTATIC || msg == WM_CTLCOLOREDIT ||
        msg == WM_CTLCOLORDLG || msg == WM_CTLCOLORBTN || msg == WM_CTLCOLORLISTBOX)
        return static_cast<INT_PTR>(*result);
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(*result));
    return TRUE;
}

}  // namespace zendrel
