#include "msgbox_place.h"

#include <cmath>
#include <limits>

namespace zendrel {

namespace {

using Limits = std::numeric_limits<std::int32_t>;

std::optional<std::int32_t> Checked(std::int64_t value) {
    if (value < Limits::min() || value > Limits::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> Difference(std::int32_t a, std::int32_t b) {
    return Checked(static_cast<std::int64_t>(a) - b);
}

// (high - low) / 2, rounded.
std::optional<std::int32_t> Half(std::int32_t low, std::int32_t high) {
    std::optional<std::int32_t> size = Difference(high, low);
    if (!size) return std::nullopt;
    return RoundToInt32(*size / 2.0);
}

// (high - low) / 2 + low, summed in double and then rounded.
std::optional<std::int32_t> Centre(std::int32_t low, std::int32_t high) {
    std::optional<std::int32_t> size = Difference(high, low);
    if (!size) return std::nullopt;
    return RoundToInt32(*size / 2.0 + low);
}

}  // namespace

std::optional<std::int32_t> RoundToInt32(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    double whole = std::floor(value);
    double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole < static_cast<double>(Limits::min()) || whole > static_cast<double>(Limits::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(whole);
}

std::optional<PlacePoint> PlaceBox(const PlaceRect& box, const std::optional<PlaceRect>& owner,
                                   std::int32_t msgLeft, std::int32_t msgTop) {
    std::optional<std::int32_t> halfHeight = Half(box.top, box.bottom);
    std::optional<std::int32_t> halfWidth = Half(box.left, box.right);
    if (!halfHeight || !halfWidth) return std::nullopt;

    std::optional<std::int32_t> centreY;
    std::optional<std::int32_t> centreX;
    if (owner) {
        centreY = Centre(owner->top, owner->bottom);
        centreX = Centre(owner->left, owner->right);
        if (!centreY || !centreX) return std::nullopt;
    }

    PlacePoint at{msgLeft, msgTop};
    if (msgLeft == kCentreOnOwner) {
        if (!centreX) return std::nullopt;
        std::optional<std::int32_t> x = Difference(*centreX, *halfWidth);
        if (!x) return std::nullopt;
        at.x = *x;
    }
    if (msgTop == kCentreOnOwner) {
        if (!centreY) return std::nullopt;
        std::optional<std::int32_t> y = Difference(*centreY, *halfHeight);
        if (!y) return std::nullopt;
        at.y = *y;
    }
    return at;
}

}  // namespace zendrel
