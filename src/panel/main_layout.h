// The controls of the main settings window as data: one row per control, in
// the order the window creates them. Positions are in twips relative to the
// row's container; the window turns them into pixels at its DPI. Needs no
// Windows.
#pragma once

#include <span>
#include <string_view>

namespace zendrel {

// Control identifiers (WM_COMMAND ids). They start above IDOK and IDCANCEL,
// which the dialog manager sends for Enter and Esc.
enum ControlId : int {
    kIdFrame1 = 1001,
    kIdImage1,
    kIdLabel1,
    kIdLabel2,
    kIdTxtAddSite,
    kIdPicture1,
    kIdBtnAdd,
    kIdLabel3,
    kIdListApproved,
    kIdPicture2,
    kIdBtnRemove,
    kIdLabel5,
    kIdListRequested,
    kIdPicture4,
    kIdBtnApprove,
    kIdPicture3,
    kIdBtnDeny,
    kIdPicture5,
    kIdBtnReview,
    kIdFrame2,
    kIdChkEnable,
    kIdChkLogging,
    kIdLinkViewLog,
    kIdChkPwd,
    kIdLabel6,
    kIdTxtPwd,
    kIdLabel7,
    kIdTxtPwdConfirm,
    kIdLabel8,
    kIdTxtHint,
    kIdLblLink,
    kIdBtnClose,
};

enum class ControlKind {
    Frame,        // group box with a caption
    Image,        // fixed picture
    Label,        // static text
    Link,         // static text acting as a link (clickable, own colour and cursor)
    TextBox,      // single-line edit
    PasswordBox,  // single-line edit showing every character as '*'
    PictureBox,   // container only: no window of its own
    Button,
    ListBox,  // single selection, unsorted
    CheckBox,
};

constexpr int kNoTabIndex = -1;
constexpr int kNoContainer = 0;  // the window itself

struct ControlSpec {
    std::wstring_view name;
    int id;
    ControlKind kind;
    int container;  // id of the containing frame or picture box, or kNoContainer
    std::wstring_view caption;
    int left, top, width, height;  // twips, relative to the container
    int tabIndex;                  // kNoTabIndex for a control outside the tab order
};

struct TwipsRect {
    int left, top, width, height;
};

// Inner (client) area of the window, in twips.
constexpr int kMainClientWidthTwips = 6375;
constexpr int kMainClientHeightTwips = 7875;

// Every control of the window, sorted by tab index (the creation order); the
// one control without a tab index (Image1) comes last.
std::span<const ControlSpec> MainControls();

// The row of a control; throws std::out_of_range for an unknown id.
const ControlSpec& MainControl(int id);

// The control's rectangle relative to the window's client area: its own
// offset plus the offsets of its containers.
TwipsRect WindowTwips(const ControlSpec& row);

// Whether the control is a window that takes the keyboard focus with Tab.
bool TakesFocus(ControlKind kind);

}  // namespace zendrel
