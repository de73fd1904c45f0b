#include "window_base.h"

#include "failure_report.h"
#include "program_name.h"
#include "string_table.h"
#include "win32_failure.h"

namespace zendrel {

void WindowBase::ReportUnhandled(const Failure& failure) noexcept {
    ShowFailureReport(
        hwnd_, LoadTextOr(kEventFailureTextId, L"Error occurred trying to handle a window event: "),
        ProgramName(), failure);
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

void WindowBase::RegisterWindowClass(const wchar_t* name, int iconId) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, name, &existing)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = name;
    // The icons belong to the class: the window is made with them, instead
    // of being made with the default icon and given its own after.
    auto icon = [&](int widthMetric, int heightMetric) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                             GetSystemMetrics(widthMetric),
                                             GetSystemMetrics(heightMetric), LR_SHARED));
    };
    wc.hIcon = icon(SM_CXICON, SM_CYICON);
    wc.hIconSm = icon(SM_CXSMICON, SM_CYSMICON);
    if (!RegisterClassExW(&wc)) throw FailureFromLastError(ProgramName());
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
    if (msg == WM_ACTIVATE && self->dialogKeys_) {
        self->KeepFocus(wParam);
        return 0;
    }
    std::optional<LRESULT> result = self->Dispatch(msg, wParam, lParam);
    return result ? *result : DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool WindowBase::TranslateDialogKeys(MSG& msg) {
    if (!dialogKeys_ || !hwnd_ || (msg.hwnd != hwnd_ && !IsChild(hwnd_, msg.hwnd))) return false;
    return IsDialogMessageW(hwnd_, &msg) != FALSE;
}

void WindowBase::KeepFocus(WPARAM activation) noexcept {
    // A plain window does not keep its focused control across deactivation
    // as a dialog does.
    if (LOWORD(activation) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) focus_ = focus;
        return;
    }
    SetFocus(focus_ && IsWindow(focus_) ? focus_ : firstFocus_);
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
