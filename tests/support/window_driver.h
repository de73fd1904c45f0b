// Driving real windows as a user does, from the test thread: clicks, typed
// characters, keys through the dialog manager, list selections with the
// notifications the parent expects.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zendrel::test {

// A click on a button or check box (BM_CLICK: the parent gets BN_CLICKED).
void Click(HWND button);

// Each character as the keyboard would deliver it to the focused edit (WM_CHAR).
void TypeChars(HWND edit, std::wstring_view text);

// Selects a row of a list box as a click does: LB_SETCURSEL, then the
// LBN_SELCHANGE notification to the parent.
void SelectRow(HWND list, int row);

// A double click on a row of a list box: button down, up, double click, up,
// at the middle of the row.
void DoubleClickRow(HWND list, int row);

// The rows of a list box, read with SendMessageW (works across processes).
std::vector<std::wstring> ListRows(HWND list);

// The text of a window or control (works across processes).
std::wstring TextOf(HWND hwnd);

// Whether a static control's text, wrapped at words in the control's font,
// fits in its client area (else its end is cut off).
bool TextFits(HWND label);

// Handles every pending message of this thread; `preTranslate` sees each
// first (the window's dialog manager) and returns true for the ones it handled.
void PumpMessages(const std::function<bool(MSG&)>& preTranslate);

// Posts a key press to the focused window, as the keyboard would: key down
// (with Alt held when alt is true) and key up; the caller pumps the messages.
void PostKeyPress(UINT virtualKey, bool alt = false);

// Real keyboard input (SendInput) to the focused window: the keys pressed in
// order and released in reverse, as Ctrl+L is typed; the caller pumps.
void SendKeys(std::initializer_list<WORD> keys);

// Puts text on the clipboard as Unicode text.
void SetClipboardText(std::wstring_view text);

// The rectangle of a child window in its parent's client coordinates.
RECT RectInParent(HWND child);

// The name of a window's class.
std::wstring ClassOf(HWND hwnd);

}  // namespace zendrel::test
