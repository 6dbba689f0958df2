#pragma once

#include "engine/byte_rounding.hpp"
#include "engine/rgb_bytes.hpp"

#include <array>
#include <optional>
#include <vector>

namespace sorvin {

class PhotoParameters;

// The tint of one grading wheel: its fully saturated colour, that colour's offset from grey as a
// unit vector of zero luminance, and how strongly it is applied (0...1).
struct ColorGradingDirection {
    double red = 0;
    double green = 0;
    double blue = 0;
    double luminance = 0;
    double length = 0;
    double unitRed = 0;
    double unitGreen = 0;
    double unitBlue = 0;
    double strength = 0;

    bool operator==(const ColorGradingDirection&) const = default;
};

// The offset added to each channel, by luminance byte, in units of full scale.
struct ColorGradingPlan {
    std::array<double, 256> red{};
    std::array<double, 256> green{};
    std::array<double, 256> blue{};

    static const ColorGradingPlan zero;
    bool operator==(const ColorGradingPlan&) const = default;
};

// The values of the four wheels and the two zone controls, as stored (-100...100).
struct ColorGradingValues {
    int shadowsHue = 0;
    int shadowsSaturation = 0;
    int midtonesHue = 0;
    int midtonesSaturation = 0;
    int highlightsHue = 0;
    int highlightsSaturation = 0;
    int globalHue = 0;
    int globalSaturation = 0;
    int blending = 0;
    int balance = 0;

    static ColorGradingValues of(const PhotoParameters& parameters);
    bool operator==(const ColorGradingValues&) const = default;
};

struct ColorGradingAdjustment {
    // None when all ten grading values are 0.
    static std::optional<ColorGradingPlan> plan(const PhotoParameters& parameters);
    static std::optional<ColorGradingPlan> plan(const ColorGradingValues& values);

    static ColorGradingDirection direction(int hue, int saturation);
    static ColorGradingDirection direction(double angleDegrees, double strength);

    static RgbBytes perPixel(RgbBytes pixel, const ColorGradingPlan& plan);

    // The luminance byte that picks a pixel's offsets.
    static int luminanceIndex(RgbBytes pixel) {
        return roundedByte(0.2126 * pixel.red + 0.7152 * pixel.green + 0.0722 * pixel.blue);
    }
    // A channel byte moved by its offset.
    static std::uint8_t gradedByte(double offset, std::uint8_t value) {
        return roundedByte(offset * 255 + value);
    }

    // Every graded byte of a plan, by channel, luminance index and input byte: entry
    // (channel * 256 + index) * 256 + value. For large bitmaps, where one lookup per channel beats
    // the arithmetic.
    static std::vector<std::uint8_t> byteTable(const ColorGradingPlan& plan);
};

// Inline: the first sweep calls it for every pixel.
inline RgbBytes ColorGradingAdjustment::perPixel(RgbBytes pixel, const ColorGradingPlan& plan) {
    const int index = luminanceIndex(pixel);
    return {gradedByte(plan.red[index], pixel.red), gradedByte(plan.green[index], pixel.green),
            gradedByte(plan.blue[index], pixel.blue)};
}

} // namespace sorvin
