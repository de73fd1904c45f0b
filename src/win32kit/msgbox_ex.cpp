#include "msgbox_ex.h"

#include <optional>
#include <string_view>

#include "handles.h"
#include "msgbox_place.h"
#include "program_name.h"

namespace zendrel {

namespace {

// Module state: written by MsgBoxEx, read by MsgBoxHookProc; one box at a time.
HookHandle msgHook;  // empty while no hook is installed
int msgLeft = 0;
int msgTop = 0;
HICON msgIcon = nullptr;

constexpr UINT kPlaceFlags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

PlaceRect ToPlaceRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

// The rectangle the box is centred over: its owner's, or when it has none
// (or the owner's cannot be read) the work area of the box's monitor.
std::optional<PlaceRect> CentringRect(HWND box) {
    RECT rect{};
    HWND owner = GetParent(box);
    if (owner && GetWindowRect(owner, &rect)) return ToPlaceRect(rect);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(box, MONITOR_DEFAULTTOPRIMARY), &info))
        return ToPlaceRect(info.rcWork);
    return std::nullopt;
}

void RemoveHook() {
    msgHook.Reset();
}

LRESULT CALLBACK MsgBoxHookProc(int nCode, WPARAM wParam, LPARAM lParam) noexcept {
    LRESULT result = CallNextHookEx(msgHook.Get(), nCode, wParam, lParam);
    if (nCode != HCBT_ACTIVATE) return result;

    HWND box = reinterpret_cast<HWND>(wParam);
    char className[32] = {};
    int length = GetClassNameA(box, className, 32);
    if (std::string_view(className, length > 0 ? static_cast<size_t>(length) : 0) != "#32770")
        return result;  // not the box: wait for it

    RECT rect{};
    if (GetWindowRect(box, &rect)) {
        std::optional<PlacePoint> at =
            PlaceBox(ToPlaceRect(rect), CentringRect(box), msgLeft, msgTop);
        if (at) {
            SetWindowPos(box, nullptr, at->x, at->y, 0, 0, kPlaceFlags);
            if (msgIcon) {
                if (HWND iconControl = FindWindowExA(box, nullptr, "Static", nullptr))
                    SendMessageA(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(msgIcon), 0);
            }
        }
    }
    RemoveHook();
    return result;
}

}  // namespace

int MsgBoxEx(HWND owner, const std::wstring& Prompt, int Buttons, const std::wstring& Title,
             int XPos, int YPos, HICON hIcon) {
    msgHook.Reset(
        SetWindowsHookExA(WH_CBT, MsgBoxHookProc, GetModuleHandleW(nullptr), GetCurrentThreadId()));
    msgLeft = XPos;
    msgTop = YPos;
    msgIcon = hIcon;

    std::wstring title = Title == kDefaultToAppTitle ? ProgramName() : Title;
    UINT style = static_cast<UINT>(Buttons);
    if (hIcon) style |= MB_ICONINFORMATION;

    int answer = MessageBoxW(owner, Prompt.c_str(), title.c_str(), style);
    RemoveHook();  // the box was never activated (it could not be shown)
    return answer;
}

bool MsgBoxHookInstalled() {
    return static_cast<bool>(msgHook);
}

}  // namespace zendrel
