// The baseline of the start-up and memory figures: a bare Win32 program that
// opens one empty window and runs its message loop, built like ZendrelPanel.
// Built as bare_window_styled.exe it also takes the common controls 6 of
// ZendrelPanel's manifest (visual styles), to show what they cost at start;
// built as bare_window_controls.exe it also holds the settings window's
// controls, made by the settings window's own code, with nothing in them, to
// show what the controls alone cost.
#include <windows.h>
#ifdef ZENDREL_STYLED
#include <commctrl.h>
#endif
#ifdef ZENDREL_CONTROLS
#include "control_windows.h"
#include "main_layout.h"
#endif

namespace {

LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef ZENDREL_STYLED
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
#endif
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = L"BareWindow";
    RegisterClassW(&windowClass);
    HWND window =
        CreateWindowExW(0, L"BareWindow", L"Bare Window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 420, 500, nullptr, nullptr, instance, nullptr);
#ifdef ZENDREL_CONTROLS
    int dpi = zendrel::WindowDpi(nullptr);
    zendrel::FontHandle font = zendrel::CreateWindowFont(9, dpi);
    zendrel::CreateControlWindows(window, zendrel::MainControls(), dpi, font.Get());
#endif
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
