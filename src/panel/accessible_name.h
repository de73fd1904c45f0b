// Names that a screen reader reads for a control. The specified tab order
// puts some labels after their controls, so the name the system would take
// from the label before a control is often wrong or missing: each named
// control answers for itself.
#pragma once

#include <windows.h>

#include <string>

namespace zendrel {

// From now until the control goes, the control's accessible object (as
// AccessibleObjectFromWindow gives it) has `name`; everything else about it is
// the system's standard object. Throws Failure when the control cannot be
// subclassed.
void SetAccessibleName(HWND control, std::wstring name);

}  // namespace zendrel
