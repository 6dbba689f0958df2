#pragma once

#include <array>
#include <cmath>

namespace sorvin {

// The eight colours of the mixer and of black and white sit at fixed hues; a pixel's hue falls
// between two of them and takes a blend of their values. Inline: called per pixel.
struct HueSectors {
    // Red, orange, yellow, green, aqua, blue, purple, magenta.
    using PerColor = std::array<float, 8>;

    // Where a hue lies: the colours of the anchors around it and the position t between them.
    struct Position {
        int lowerColor;
        int upperColor;
        float t;

        float of(const PerColor& values) const {
            return (1.0f - t) * values[lowerColor] + t * values[upperColor];
        }
    };

    // Hue in degrees [0, 360) of channel values in 0...1 whose max - min (delta) is above 0.
    // Red wins ties, then green.
    static float hue(float red, float green, float blue, float max, float delta) {
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

    static Position locate(float hue) {
        // Sectors by 30-degree slot; a hue just below an anchor can never land in the slot above it
        // (the quotient's rounding error is far below one slot), so the slot is exact.
        int slot = static_cast<int>(hue / 30.0f);
        slot = slot < 0 ? 0 : (slot > 11 ? 11 : slot);
        const Sector& s = kSectors[kSectorOfSlot[slot]];
        const float t = (hue - s.lowerAnchor) / (s.upperAnchor - s.lowerAnchor);
        return {s.lowerColor, s.upperColor, t};
    }

    // The value at a hue, interpolated between the two colours whose anchors enclose it.
    static float interpolate(const PerColor& values, float hue) { return locate(hue).of(values); }

    // x modulo 360 as the floating remainder, moved into [0, 360). fmod is exact; between -360 and
    // 720 it is at most one exact subtraction, which keeps the per-pixel loops off the library call.
    static float wrapDegrees(float x) {
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

private:
    struct Sector {
        float lowerAnchor;
        float upperAnchor;
        int lowerColor;
        int upperColor;
    };

    // Hue anchors of the eight colours; 360 wraps back to red.
    static constexpr std::array<Sector, 8> kSectors{{
        {0, 30, 0, 1},
        {30, 60, 1, 2},
        {60, 120, 2, 3},
        {120, 180, 3, 4},
        {180, 240, 4, 5},
        {240, 270, 5, 6},
        {270, 300, 6, 7},
        {300, 360, 7, 0},
    }};
    static constexpr std::array<int, 12> kSectorOfSlot{0, 1, 2, 2, 3, 3, 4, 4, 5, 6, 7, 7};
};

} // namespace sorvin
