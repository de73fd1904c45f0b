// What modal dialogs made from a control table share: an in-memory dialog template
// (the controls come from a control table at WM_INITDIALOG) and the place of
// a dialog over its owner.
#pragma once

#include <windows.h>

#include <vector>

namespace zendrel {

// A template with the style and caption, no controls, no menu and the
// standard dialog class; the size is set once the controls are placed.
std::vector<WORD> DialogTemplate(DWORD style, const wchar_t* caption);

// The one rule by which the program's windows are centred: a window of
// `size` centred over `over`, then moved into `work` (its top-left corner
// first, when it is larger than the work area).
RECT CentredIn(SIZE size, const RECT& over, const RECT& work);

// The dialog's rectangle moved so that it is centred over owner (or the work
// area when there is none) and lies inside the work area.
RECT CentredOver(HWND owner, HWND dialog);

}  // namespace zendrel
