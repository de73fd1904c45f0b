#include "control_windows.h"

#include "accessible_name.h"
#include "twips.h"
#include "win32_failure.h"

namespace zendrel {

namespace {

struct WindowClassAndStyle {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

WindowClassAndStyle ClassAndStyle(ControlKind kind) {
    constexpr DWORD child = WS_CHILD | WS_VISIBLE;
    constexpr DWORD edit = child | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
    switch (kind) {
        case ControlKind::Frame:
            return {L"BUTTON", child | BS_GROUPBOX | WS_CLIPSIBLINGS, 0};
        case ControlKind::Image:
            return {L"STATIC", child | SS_ICON | SS_REALSIZECONTROL | WS_CLIPSIBLINGS, 0};
        case ControlKind::Label:
            return {L"STATIC", child | SS_LEFT | SS_NOPREFIX | WS_CLIPSIBLINGS, 0};
        case ControlKind::Link:
            return {L"STATIC", child | SS_LEFT | SS_NOTIFY, 0};
        case ControlKind::TextBox:
            return {L"EDIT", edit, WS_EX_CLIENTEDGE};
        case ControlKind::PasswordBox:
            return {L"EDIT", edit | ES_PASSWORD, WS_EX_CLIENTEDGE};
        case ControlKind::Button:
            return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
        case ControlKind::DefaultButton:
            return {L"BUTTON", child | WS_TABSTOP | BS_DEFPUSHBUTTON, 0};
        case ControlKind::ListBox:
            return {L"LISTBOX",
                    child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        LBS_HASSTRINGS,
                    WS_EX_CLIENTEDGE};
        case ControlKind::CheckBox:
            return {L"BUTTON", child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
        case ControlKind::PictureBox:
            break;
    }
    return {nullptr, 0, 0};
}

void SendToBottom(HWND control) {
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

void CreateControlWindows(HWND parent, std::span<const ControlSpec> table) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlSpec& row : table) {
        WindowClassAndStyle cs = ClassAndStyle(row.kind);
        if (!cs.className) continue;
        std::wstring caption(row.caption);
        HWND control = CreateWindowExW(
            cs.exStyle, cs.className, caption.c_str(), cs.style, 0, 0, 0, 0, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), instance, nullptr);
        if (!control) throw FailureFromLastError(kProgramName);
        if (row.kind == ControlKind::PasswordBox)
            SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
        if (row.kind == ControlKind::TextBox || row.kind == ControlKind::PasswordBox)
            SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(row.maxLength), 0);
        if (!row.accessibleName.empty())
            SetAccessibleName(control, std::wstring(row.accessibleName));
    }
    for (const ControlSpec& row : table)
        if (row.kind == ControlKind::Label || row.kind == ControlKind::Image)
            SendToBottom(GetDlgItem(parent, row.id));
    for (const ControlSpec& row : table)
        if (row.kind == ControlKind::Frame) SendToBottom(GetDlgItem(parent, row.id));
}

void PlaceControls(HWND parent, std::span<const ControlSpec> table, int dpi) {
    for (const ControlSpec& row : table) {
        HWND control = GetDlgItem(parent, row.id);
        if (!control) continue;
        TwipsRect r = WindowTwips(table, row);
        SetWindowPos(control, nullptr, TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi),
                     TwipsToPixels(r.width, dpi), TwipsToPixels(r.height, dpi),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

FontHandle CreateWindowFont(int points, int dpi, bool underline) {
    LOGFONTW lf{};
    lf.lfHeight = PointsToFontHeight(points, dpi);
    lf.lfWeight = FW_NORMAL;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    FontHandle font(CreateFontIndirectW(&lf));
    if (!font) throw Failure(kOutOfMemory, kProgramName);
    return font;
}

void SetControlFonts(HWND parent, std::span<const ControlSpec> table, HFONT font) {
    for (const ControlSpec& row : table)
        if (HWND control = GetDlgItem(parent, row.id))
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

SIZE WindowSizeForClient(HWND window, int widthTwips, int heightTwips, int dpi) {
    RECT outer{}, inner{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &inner);
    return {
        TwipsToPixels(widthTwips, dpi) + (outer.right - outer.left) - (inner.right - inner.left),
        TwipsToPixels(heightTwips, dpi) + (outer.bottom - outer.top) - (inner.bottom - inner.top)};
}

int WindowDpi(HWND window) {
    HDC dc = GetDC(window);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
    if (dc) ReleaseDC(window, dc);
    return dpi > 0 ? dpi : kDefaultDpi;
}

}  // namespace zendrel
