// Where the positioned message box goes: the arithmetic of its hook, apart
// from the window system so that it can be checked on any machine.
//
// Halves and centres are computed in double precision and converted to a
// 32-bit integer by rounding to the nearest integer, ties to even. Every
// difference and sum is a 32-bit signed operation; an overflow, or a value
// that cannot be converted, makes the whole placement fail (the box is then
// left where the window system put it).
#pragma once

#include <cstdint>
#include <optional>

namespace zendrel {

// A screen rectangle in pixels, as GetWindowRect reports it.
struct PlaceRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

struct PlacePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const PlacePoint&, const PlacePoint&) = default;
};

// The coordinate that means "centre over the owner".
constexpr std::int32_t kCentreOnOwner = -1;

// value rounded to the nearest integer, ties to even; nothing when value is
// not finite or the result lies outside the 32-bit signed range.
std::optional<std::int32_t> RoundToInt32(double value);

// The new top-left corner of a box with rectangle box, asked to go to
// (msgLeft, msgTop), where -1 centres that coordinate over owner. owner is
// nothing when the box has no owner rectangle; then only explicit
// coordinates can be honoured. The owner's centre is computed (and can fail)
// even when neither coordinate is -1. Nothing means: leave the box alone.
std::optional<PlacePoint> PlaceBox(const PlaceRect& box, const std::optional<PlaceRect>& owner,
                                   std::int32_t msgLeft, std::int32_t msgTop);

}  // namespace zendrel
