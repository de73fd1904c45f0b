#include "window_driver.h"

#include <iterator>

namespace zendrel::test {

void Click(HWND button) {
    SendMessageW(button, BM_CLICK, 0, 0);
}

void TypeChars(HWND edit, std::wstring_view text) {
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

void SelectRow(HWND list, int row) {
    SendMessageW(list, LB_SETCURSEL, row, 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void DoubleClickRow(HWND list, int row) {
    RECT item{};
    SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
}

std::vector<std::wstring> ListRows(HWND list) {
    std::vector<std::wstring> rows;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        std::wstring row(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        LRESULT got = SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()));
        row.resize(static_cast<std::size_t>(got < 0 ? 0 : got));
        rows.push_back(row);
    }
    return rows;
}

std::wstring TextOf(HWND hwnd) {
    LRESULT n = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
    n = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(n));
    return text;
}

bool TextFits(HWND label) {
    RECT room{};
    GetClientRect(label, &room);
    std::wstring text = TextOf(label);
    HDC dc = GetDC(label);
    auto font = reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
    RECT needed = room;
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    return needed.bottom <= room.bottom && needed.right <= room.right;
}

void PumpMessages(const std::function<bool(MSG&)>& preTranslate) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (preTranslate && preTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PostKeyPress(UINT virtualKey, bool alt) {
    HWND focus = GetFocus();
    UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
    LPARAM up = down | (1L << 30) | (1L << 31);
    if (alt) {
        down |= 1L << 29;
        up |= 1L << 29;
        PostMessageW(focus, WM_SYSKEYDOWN, virtualKey, down);
        PostMessageW(focus, WM_SYSKEYUP, virtualKey, up);
    } else {
        PostMessageW(focus, WM_KEYDOWN, virtualKey, down);
        PostMessageW(focus, WM_KEYUP, virtualKey, up);
    }
}

RECT RectInParent(HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

void SendKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wVk = key;
        inputs.push_back(down);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        INPUT up{};
        up.type = INPUT_KEYBOARD;
        up.ki.wVk = *key;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(up);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SetClipboardText(std::wstring_view text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (auto* chars = static_cast<wchar_t*>(GlobalLock(memory))) {
        text.copy(chars, text.size());
        chars[text.size()] = L'\0';
        GlobalUnlock(memory);
        SetClipboardData(CF_UNICODETEXT, memory);
    }
    CloseClipboard();
}

}  // namespace zendrel::test
