// A procedure put in front of a control's own, for what the kit's windows
// add to standard controls:
// - Names that a screen reader reads. The specified tab order puts some
//   labels after their controls, so the name the system would take from the
//   label before a control is often wrong or missing: each named control
//   answers for itself.
// - For a list box, its rows kept beside its own, so the window reads a long
//   list without a message per row.
// The state lives in the control's GWLP_USERDATA: a control whose
// GWLP_USERDATA is in use already is refused with kInvalidArgument.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zendrel {

// From now until the control goes, the control's accessible object (as
// AccessibleObjectFromWindow gives it) has `name`; everything else about it is
// the system's standard object.
void SetAccessibleName(HWND control, std::wstring name);

// The rows of a list box, in step with its own whoever adds or removes them.
// `complete` is false when the copy may differ from the list box (rows it
// made itself, or no room for the copy): the list box must be asked.
struct KeptRows {
    std::vector<std::wstring> rows;
    bool complete = true;
};

// From now on the list box keeps its rows (it should be empty now).
void KeepListRows(HWND list);
// The rows a list box keeps; null for a list box that keeps none.
KeptRows* KeptListRows(HWND list);

// While it lives, messages to the control go straight to the control's own
// procedure, for a burst of them (a list of 100 000 rows filled): passing
// through another procedure costs more than the list box's own work under
// some systems. Kept rows do not follow meanwhile: the caller puts them right.
class OwnProcedureOnly {
  public:
    explicit OwnProcedureOnly(HWND control);
    ~OwnProcedureOnly();
    OwnProcedureOnly(const OwnProcedureOnly&) = delete;
    OwnProcedureOnly& operator=(const OwnProcedureOnly&) = delete;

  private:
    HWND control_;
    LONG_PTR ours_ = 0;  // the procedure put back at the end; 0: none was in front
};

}  // namespace zendrel
