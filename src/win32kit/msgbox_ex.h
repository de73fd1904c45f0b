// mMsgBoxEx: the standard message box, moved at its first activation to a
// given screen position or centred over its owner, optionally with an icon of
// the caller's.
//
// A CBT hook for the calling thread is installed before the box is shown and
// removed at the first activation of a dialog-class window (the box itself),
// or after the box when it could not be shown at all. One box at a time: the
// hook reads a single set of module state.
#pragma once

#include <windows.h>

#include <string>


namespace zendrel {

// Stands for the program's name (ProgramName) when passed as Title (exact
// letter case).
inline constexpr wchar_t kDefaultToAppTitle[] = L"SWVB_DEFAULT_TO_APP_TITLE";

// Shows Prompt in the standard message box owned by owner (may be null) with
// the style word Buttons and the caption Title, and returns the code of the
// button that closed it (1 OK, 2 Cancel, 6 Yes, 7 No ...), or what the
// standard box returns when it cannot be shown (0; -1 under Wine). XPos and YPos are the screen
// position of its top-left corner; -1 centres that coordinate over the owner, or over the work area
// of the box's monitor when it has no owner. A non-zero hIcon replaces the box's icon (the style
// gets the information-icon bit so that there is an icon control to take it).
int MsgBoxEx(HWND owner, const std::wstring& Prompt, int Buttons, const std::wstring& Title,
             int XPos, int YPos, HICON hIcon = nullptr);

// Whether the hook of MsgBoxEx is installed at this moment (for tests).
bool MsgBoxHookInstalled();

}  // namespace zendrel
