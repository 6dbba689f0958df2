#pragma once

#include "model/mask_kind.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <variant>

namespace sorvin {

class PhotoParameters;
struct DevelopmentPlacement;

// Shared by both kinds: feathered shape weight w, then inversion and amount.
inline double applyMaskAmount(double w, double inversion, double amount) {
    return ((1 - w) * inversion + w * (1 - inversion)) * amount;
}

inline double maskSmoothStep(double t) {
    return t * t * (3 - 2 * t);
}

// A feathered ellipse, in pixels of the developed bitmap.
struct CircularMaskPlan {
    double amount = 0;
    double inversion = 0;
    double centerX = 0;
    double centerY = 0;
    double radius = 0;
    double axisA = 0;
    double axisB = 0;
    double cosine = 1;
    double sine = 0;
    double feather = 0;

    // From a mask's values (absent values are the defaults); none only when a side is below 1.
    // The amount is taken over as it is, 0 included, so the guides can still be drawn.
    static std::optional<CircularMaskPlan> makeIgnoringAmount(const PhotoParameters& parameters, int width,
                                                              int height);

    // Weight of the pixel at column x, row y (sampled at its centre).
    double weight(int x, int y) const {
        double w = 0;
        if (axisA > 0 && axisB > 0) {
            const double dx = x + 0.5 - centerX;
            const double dy = y + 0.5 - centerY;
            const double u = (dx * cosine + dy * sine) / axisA;
            const double v = (dy * cosine - dx * sine) / axisB;
            const double r = std::sqrt(u * u + v * v);
            if (feather == 0) {
                w = r <= 1 ? 1 : 0;
            } else if (r <= 1 - feather) {
                w = 1;
            } else if (r >= 1) {
                w = 0;
            } else {
                w = maskSmoothStep((1 - r) / feather);
            }
        }
        return applyMaskAmount(w, inversion, amount);
    }

    friend bool operator==(const CircularMaskPlan&, const CircularMaskPlan&) = default;
};

// A graduated band across the bitmap; the weight rises along the direction of the angle.
struct LinearMaskPlan {
    double amount = 0;
    double inversion = 0;
    double cosine = 1;
    double sine = 0;
    double referenceLength = 0;
    double centerX = 0;
    double centerY = 0;
    double position = 0;
    double width = 0;

    static std::optional<LinearMaskPlan> makeIgnoringAmount(const PhotoParameters& parameters, int width,
                                                            int height);

    double weight(int x, int y) const {
        const double p =
            (cosine * (x + 0.5 - centerX) + sine * (y + 0.5 - centerY)) / referenceLength - position;
        double w;
        if (width == 0) {
            w = p < 0 ? 0 : 1;
        } else {
            w = maskSmoothStep(std::clamp((width + p) / (2 * width), 0.0, 1.0));
        }
        return applyMaskAmount(w, inversion, amount);
    }

    friend bool operator==(const LinearMaskPlan&, const LinearMaskPlan&) = default;
};

// How one mask pass is weighted against its input, pixel by pixel.
struct MaskWeightPlan {
    // A weight computed by the closure itself, used without amount or inversion.
    using Custom = std::function<double(int x, int y)>;
    using Implementation = std::variant<CircularMaskPlan, LinearMaskPlan, Custom>;

    MaskKind kind;
    Implementation implementation;

    // The weight of one pixel. A pixel loop takes the concrete plan out of the variant once and calls
    // its inline weight instead.
    double weight(int x, int y) const;
    // A plan laid out on the whole photo, read at the pixels of a bitmap placed in it: the
    // ellipse's or the band's centre and angle move with the bitmap's place and turn, so every
    // pixel weighs as the photo's pixel under it.
    MaskWeightPlan placed(const DevelopmentPlacement& placement) const;
};

} // namespace sorvin
