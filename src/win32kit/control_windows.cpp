#include "control_windows.h"

#include "control_proc.h"
#include "program_name.h"
#include "string_table.h"
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

// Makes one control of the table, in place and with its font: nothing is
// moved or repainted before the window shows.
void CreateControlWindow(HWND parent, std::span<const ControlSpec> table, const ControlSpec& row,
                         int dpi, HFONT font) {
    WindowClassAndStyle cs = ClassAndStyle(row.kind);
    if (!cs.className) return;
    std::wstring caption = row.caption ? LoadText(row.caption) : std::wstring();
    TwipsRect r = WindowTwips(table, row);
    HWND control = CreateWindowExW(cs.exStyle, cs.className, caption.c_str(), cs.style,
                                   TwipsToPixels(r.left, dpi), TwipsToPixels(r.top, dpi),
                                   TwipsToPixels(r.width, dpi), TwipsToPixels(r.height, dpi),
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control) throw FailureFromLastError(ProgramName());
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (row.kind == ControlKind::PasswordBox) SendMessageW(control, EM_SETPASSWORDCHAR, L'*', 0);
    if (row.kind == ControlKind::TextBox || row.kind == ControlKind::PasswordBox)
        SendMessageW(control, EM_LIMITTEXT, static_cast<WPARAM>(row.maxLength), 0);
    if (row.accessibleName) SetAccessibleName(control, LoadText(row.accessibleName));
    if (row.kind == ControlKind::ListBox) KeepListRows(control);
}

// Each new child window goes below its siblings: the controls are made in
// three layers (labels and pictures, then frames, last), each in table order.
int Layer(ControlKind kind) {
    if (kind == ControlKind::Frame) return 2;
    return kind == ControlKind::Label || kind == ControlKind::Image ? 1 : 0;
}

}  // namespace

void CreateControlWindows(HWND parent, std::span<const ControlSpec> table, int dpi, HFONT font) {
    for (int layer = 0; layer <= 2; ++layer)
        for (const ControlSpec& row : table)
            if (Layer(row.kind) == layer) CreateControlWindow(parent, table, row, dpi, font);
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
    if (!font) throw Failure(kOutOfMemory, ProgramName());
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

LRESULT LinkColors(HDC dc, COLORREF color) {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    bool highContrast = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                        (contrast.dwFlags & HCF_HIGHCONTRASTON);
    SetTextColor(dc, highContrast ? GetSysColor(COLOR_HOTLIGHT) : color);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace zendrel
