// Layout arithmetic shared by the windows: positions are designed in twips
// (1/1440 inch) and placed in pixels at the window's DPI.
#pragma once

namespace zendrel {

constexpr int kDefaultDpi = 96;

// pixels = twips x DPI / 1440, rounded to the nearest pixel.
constexpr int TwipsToPixels(int twips, int dpi) {
    long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + 720) / 1440 : -((-scaled + 720) / 1440));
}

// The height to ask of CreateFont for a face of the given point size.
constexpr int PointsToFontHeight(int points, int dpi) {
    return -((points * dpi + 36) / 72);
}

}  // namespace zendrel
