#pragma once

#include "model/development_placement.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace sorvin {

class PhotoParameters;

// Where the vignette lies: the finished picture (the photo turned and cropped) as it falls in the
// bitmap being developed: its centre (pixel x at coordinate x), its size and the turn of its axes
// (degrees, clockwise on screen).
struct VignetteFrame {
    double centerX = 0;
    double centerY = 0;
    int width = 0;
    int height = 0;
    double rotation = 0; // degrees
};

struct VignetteGeometry {
    double centerX = 0;
    double centerY = 0;
    double axisX = 0.5;
    double axisY = 0.5;
    double midpoint = 0.5;
    double feather = 1;
    double rotationCosine = 1;
    double rotationSine = 0;
    bool isRotated = false;

    bool operator==(const VignetteGeometry&) const = default;
};

struct VignettePlan {
    VignetteGeometry geometry;
    std::vector<double> columnTerms; // ((x - centerX) / axisX)^2 per column; empty when rotated
    std::vector<double> rowTerms;    // ((y - centerY) / axisY)^2 per row; empty when rotated
    std::vector<std::uint8_t> table; // output byte at level * 256 + input byte

    static VignettePlan zero() { return {}; }
    bool operator==(const VignettePlan&) const = default;
};

// Darkens (or lightens) towards the frame's edges, in linear light.
struct VignetteAdjustment {
    // None when vignette_amount is 0 or the bitmap or the frame has a side below 1. Without a frame
    // the vignette is laid out over the whole bitmap.
    static std::optional<VignettePlan> plan(const PhotoParameters& parameters, int width, int height,
                                            const std::optional<VignetteFrame>& frame);

    // The finished picture of a placement in its bitmap. Whole quarter turns exchange the frame's
    // sides instead of turning it (an ellipse turned by 180° is itself), so only a fine turn is left.
    static VignetteFrame frame(const DevelopmentPlacement& placement);

    // The plan from the four vignette values (each clamped to -100...100 where it is used).
    static std::optional<VignettePlan> plan(int amount, int midpoint, int roundness, int feather, int width,
                                            int height, const std::optional<VignetteFrame>& frame);

    // 256 levels by 256 input bytes: level k scales linear light by 1 - 0.6 * amount/100 * k/255.
    static std::vector<std::uint8_t> makeTable(int amount);

    // The sRGB decoding of i / 255 for every byte i.
    static const std::array<double, 256>& linearComponents();

    // The vignette level (0...255) at column x, row y.
    static int level(const VignettePlan& plan, int x, int y);

    // Applies the plan to row y of an RGBA bitmap of the plan's width. Alpha is not touched.
    static void applyRow(std::uint8_t* rgba, int y, int width, const VignettePlan& plan);
};

} // namespace sorvin
