// Turning a control table into the child windows of a window or dialog, and
// placing them at a DPI.
#pragma once

#include <windows.h>

#include <span>

#include "control_table.h"
#include "handles.h"

namespace zendrel {

// Creates a child window for every row of the table but picture boxes (they
// only offset what they hold), in table order, with the row's id, caption,
// class and style. Labels and pictures lie beneath the other controls and
// frames beneath everything, so that a label reaching under a text box never
// paints over its text; none of them takes the focus, so the tab order stays.
// Each is made at its place at dpi, with the font. Throws Failure when a
// control cannot be made.
void CreateControlWindows(HWND parent, std::span<const ControlSpec> table, int dpi, HFONT font);

// Moves and sizes every control of the table to its place at dpi.
void PlaceControls(HWND parent, std::span<const ControlSpec> table, int dpi);

// The font of the kit's windows: Tahoma at `points`, for dpi.
FontHandle CreateWindowFont(int points, int dpi, bool underline = false);

// Gives every control of the table the font.
void SetControlFonts(HWND parent, std::span<const ControlSpec> table, HFONT font);

// The size of `window` whose client area is the given twips at dpi: the frame
// is whatever Windows draws at that DPI, measured rather than predicted.
SIZE WindowSizeForClient(HWND window, int widthTwips, int heightTwips, int dpi);

// The DPI a window is shown at (the screen's where it cannot tell).
int WindowDpi(HWND window);

// Colours a static control drawn as a link (WM_CTLCOLORSTATIC): its text in
// `color`, or in the theme's link colour in a high-contrast theme, on the
// dialog face. Returns the brush to answer the message with.
LRESULT LinkColors(HDC dc, COLORREF color);

}  // namespace zendrel
