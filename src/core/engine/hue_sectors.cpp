#include "engine/hue_sectors.hpp"

#include <cmath>

namespace sorvin {

namespace {

struct Sector {
    float lowerAnchor;
    float upperAnchor;
    int lowerColor;
    int upperColor;
};

// Hue anchors of the eight colours; 360 wraps back to red.
constexpr std::array<Sector, 8> kSectors{{
    {0, 30, 0, 1},
    {30, 60, 1, 2},
    {60, 120, 2, 3},
    {120, 180, 3, 4},
    {180, 240, 4, 5},
    {240, 270, 5, 6},
    {270, 300, 6, 7},
    {300, 360, 7, 0},
}};

const Sector& sectorOf(float hue) {
    for (const Sector& sector : kSectors) {
        if (hue < sector.upperAnchor) return sector;
    }
    return kSectors.back();
}

} // namespace

float HueSectors::wrapDegrees(float x) {
    // fmod is exact; between -360 and 720 it reduces to at most one exact subtraction, which keeps
    // the per-pixel loops off the library call.
    float r;
    if (x >= 0 && x < 360) {
        r = x;
    } else if (x >= 360 && x < 720) {
        r = x - 360.0f;
    } else if (x < 0 && x > -360) {
        r = x;
    } else {
        r = std::fmod(x, 360.0f);
    }
    if (r < 0) r += 360.0f;
    return r;
}

float HueSectors::hue(float red, float green, float blue, float max, float delta) {
    float h;
    if (max == red) {
        h = 60.0f * (green - blue) / delta;
        if (h < 0) h += 360.0f;
    } else if (max == green) {
        h = 60.0f * ((blue - red) / delta + 2.0f);
    } else {
        h = 60.0f * ((red - green) / delta + 4.0f);
    }
    return wrapDegrees(h);
}

float HueSectors::interpolate(const PerColor& values, float hue) {
    const Sector& sector = sectorOf(hue);
    const float t = (hue - sector.lowerAnchor) / (sector.upperAnchor - sector.lowerAnchor);
    return (1.0f - t) * values[sector.lowerColor] + t * values[sector.upperColor];
}

} // namespace sorvin
