// A window's controls as data: one row per control, in the order the window
// creates them, which is the tab order (InTabOrder checks a table). Positions are in twips relative
// to the row's container; the window turns them into pixels at its DPI (pixels = twips x DPI /
// 1440). Needs no Windows.
#pragma once

#include <span>
#include <string_view>

namespace zendrel {

enum class ControlKind {
    Frame,        // group box with a caption
    Image,        // fixed picture
    Label,        // static text
    Link,         // static text acting as a link (clickable, own colour and cursor)
    TextBox,      // single-line edit
    PasswordBox,  // single-line edit showing every character as '*'
    PictureBox,   // container only: no window of its own
    Button,
    DefaultButton,  // the button that Enter presses
    ListBox,        // single selection, unsorted
    CheckBox,
};

constexpr int kNoTabIndex = -1;
constexpr int kNoContainer = 0;  // the window itself

struct ControlSpec {
    std::wstring_view name;
    int id;
    ControlKind kind;
    int container;                 // id of the containing frame or picture box, or kNoContainer
    unsigned caption;              // id in the string table of the program, or 0 for no caption
    int left, top, width, height;  // twips, relative to the container
    int tabIndex;                  // kNoTabIndex for a control outside the tab order
    int maxLength = 0;             // text boxes: characters at most; 0 for no limit
    // What a screen reader calls the control, where its label does not say
    // it (the label comes after it in the tab order, or is not next to it).
    unsigned accessibleName = 0;  // id in the string table, or 0
};

struct TwipsRect {
    int left, top, width, height;
};

// Whether the rows of the tab order come in it (rows outside it may stand
// anywhere): the order a window creates them in is the order Tab walks them.
constexpr bool InTabOrder(std::span<const ControlSpec> table) {
    int previous = kNoTabIndex;
    for (const ControlSpec& row : table) {
        if (row.tabIndex == kNoTabIndex) continue;
        if (row.tabIndex <= previous) return false;
        previous = row.tabIndex;
    }
    return true;
}

// The row of a control; throws std::out_of_range for an unknown id.
const ControlSpec& FindControl(std::span<const ControlSpec> table, int id);

// The control's rectangle relative to the window's client area: its own
// offset plus the offsets of its containers.
TwipsRect WindowTwips(std::span<const ControlSpec> table, const ControlSpec& row);

}  // namespace zendrel
