// Placement arithmetic of the positioned message box.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "msgbox_place.h"

namespace zendrel {
namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

TEST(RoundToInt32, RoundsHalvesToEven) {
    EXPECT_EQ(RoundToInt32(150.5), 150);
    EXPECT_EQ(RoundToInt32(151.5), 152);
    EXPECT_EQ(RoundToInt32(250.5), 250);
    EXPECT_EQ(RoundToInt32(0.5), 0);
    EXPECT_EQ(RoundToInt32(-0.5), 0);
    EXPECT_EQ(RoundToInt32(-1.5), -2);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(2.4999), 2);
    EXPECT_EQ(RoundToInt32(2.5001), 3);
}

TEST(RoundToInt32, FailsOutsideTheRangeAndForNonNumbers) {
    EXPECT_EQ(RoundToInt32(2147483647.0), kMax);
    EXPECT_EQ(RoundToInt32(2147483647.4), kMax);
    EXPECT_EQ(RoundToInt32(2147483647.5), std::nullopt);  // rounds to 2^31
    EXPECT_EQ(RoundToInt32(-2147483648.0), kMin);
    EXPECT_EQ(RoundToInt32(-2147483648.5), kMin);  // tie, even is -2^31
    EXPECT_EQ(RoundToInt32(-2147483649.0), std::nullopt);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(RoundToInt32(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}

const PlaceRect kOwner{0, 100, 800, 401};

TEST(PlaceBox, ExplicitCoordinatesIgnoreSizesAndOwner) {
    EXPECT_EQ(PlaceBox({300, 300, 700, 450}, kOwner, 50, 250), (PlacePoint{50, 250}));
    EXPECT_EQ(PlaceBox({-900, 20, -500, 170}, PlaceRect{-2000, -2000, -1000, -1500}, 0, 250),
              (PlacePoint{0, 250}));
    EXPECT_EQ(PlaceBox({300, 300, 700, 450}, std::nullopt, 50, 250), (PlacePoint{50, 250}));
    // -2 and other negative values are positions, not centring.
    EXPECT_EQ(PlaceBox({0, 0, 100, 100}, kOwner, -2, -250), (PlacePoint{-2, -250}));
}

TEST(PlaceBox, CentresWithHalvesRoundedToEven) {
    // Owner x 0..800: centre 400. Width 301: half 150.5 -> 150; width 303: 151.5 -> 152.
    EXPECT_EQ(PlaceBox({10, 10, 311, 110}, kOwner, -1, 7), (PlacePoint{250, 7}));
    EXPECT_EQ(PlaceBox({10, 10, 313, 110}, kOwner, -1, 7), (PlacePoint{248, 7}));
    // Owner y 100..401: centre 150.5 + 100 = 250.5 -> 250; box height 100, half 50.
    EXPECT_EQ(PlaceBox({10, 10, 20, 110}, kOwner, 3, -1), (PlacePoint{3, 200}));
    // The centre is rounded after adding the edge: 150.5 + 101 = 251.5 -> 252.
    EXPECT_EQ(PlaceBox({10, 10, 20, 110}, PlaceRect{0, 101, 800, 402}, 3, -1),
              (PlacePoint{3, 202}));
    // Both at once, over an owner at negative coordinates.
    EXPECT_EQ(PlaceBox({0, 0, 200, 100}, PlaceRect{-1000, -600, -200, -200}, -1, -1),
              (PlacePoint{-700, -450}));
}

TEST(PlaceBox, CentringWithoutAnOwnerRectangleLeavesTheBox) {
    EXPECT_EQ(PlaceBox({0, 0, 200, 100}, std::nullopt, -1, 250), std::nullopt);
    EXPECT_EQ(PlaceBox({0, 0, 200, 100}, std::nullopt, 50, -1), std::nullopt);
}

TEST(PlaceBox, OverflowAnywhereLeavesTheBox) {
    // The box's own size overflows.
    EXPECT_EQ(PlaceBox({kMin, 0, kMax, 100}, kOwner, 50, 250), std::nullopt);
    EXPECT_EQ(PlaceBox({0, kMin, 100, 1}, kOwner, 50, 250), std::nullopt);
    // The owner's size overflows: fails even with explicit coordinates.
    EXPECT_EQ(PlaceBox({0, 0, 100, 100}, PlaceRect{-10, kMin, 10, 10}, 50, 250), std::nullopt);
    EXPECT_EQ(PlaceBox({0, 0, 100, 100}, PlaceRect{kMin, 0, 10, 10}, 50, 250), std::nullopt);
    // Near the top of the range: 1 / 2 + 2147483646 = 2147483646.5 -> 2147483646.
    EXPECT_EQ(PlaceBox({0, 0, 100, 100}, PlaceRect{kMax - 1, 0, kMax, 10}, -1, 5),
              (PlacePoint{2147483596, 5}));
    // centre x - half width overflows.
    EXPECT_EQ(PlaceBox({0, 0, 100, 100}, PlaceRect{kMin, 0, kMin + 2, 10}, -1, 5), std::nullopt);
    EXPECT_EQ(PlaceBox({0, 0, 100, 100}, PlaceRect{kMin, 0, kMin + 2, 10}, 5, 5),
              (PlacePoint{5, 5}));
    // A negative size (an inverted rectangle) is arithmetic, not a failure.
    EXPECT_EQ(PlaceBox({100, 0, 0, 100}, kOwner, -1, 5), (PlacePoint{450, 5}));
}

}  // namespace
}  // namespace zendrel
