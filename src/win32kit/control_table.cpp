#include "control_table.h"

#include <stdexcept>

namespace zendrel {

const ControlSpec& FindControl(std::span<const ControlSpec> table, int id) {
    for (const ControlSpec& row : table)
        if (row.id == id) return row;
    throw std::out_of_range("no control with that id");
}

TwipsRect WindowTwips(std::span<const ControlSpec> table, const ControlSpec& row) {
    TwipsRect rect{row.left, row.top, row.width, row.height};
    for (int container = row.container; container != kNoContainer;) {
        const ControlSpec& outer = FindControl(table, container);
        rect.left += outer.left;
        rect.top += outer.top;
        container = outer.container;
    }
    return rect;
}

}  // namespace zendrel
