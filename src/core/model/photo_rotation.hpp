#pragma once

#include "platform/image.hpp"

#include <optional>
#include <string>

namespace sorvin {

// A free rotation split into whole clockwise quarter turns and the fine angle applied after them.
struct RotationDecomposition {
    int quarterTurns = 0; // 0 ... 3
    double residual = 0;  // degrees, -45 <= residual < 45

    bool operator==(const RotationDecomposition&) const = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;

    bool operator==(const PixelSize&) const = default;
};

// The arithmetic of a photo's free rotation: an angle in degrees, positive clockwise on screen,
// about the picture's centre. The rotated picture is cut to the largest centred rectangle of the
// unrotated (quarter-turned) aspect that lies wholly inside it, so no empty corner ever shows.
// Angles closer to 0 than 0.01 count as no rotation.
struct PhotoRotation {
    static constexpr double kNoRotation = 0.01;

    static bool isNone(double degrees);
    static RotationDecomposition decomposed(double degrees);
    // Shrink factor of the cut, 0 < scale <= 1. Width and height are those of the picture before
    // any quarter turn; they are exchanged here for an odd number of turns.
    static double cropScale(int width, int height, double degrees);
    // Pixel size of the rotated and cut picture (sides rounded half away from zero).
    static PixelSize outputSize(int width, int height, double degrees);
    // A multiple of 0.5 within -180 ... 179.5.
    static double normalized(double degrees);
    // The angle as stored edit state keeps it: on the half-degree grid within -180 ... 179.5
    // (bounds tested before rounding, halves away from zero); none for an angle that is not
    // finite, out of range, or rounds to no rotation.
    static std::optional<double> stored(double degrees);
    // "+1.5°", "-0.5°", "0.0°"; none for no rotation unless includeZero.
    static std::optional<std::string> displayText(double degrees, bool includeZero);

    // The image turned by the angle and cut to outputSize(). No rotation returns the same image;
    // quarter turns move pixels exactly; a residual angle resamples once. None when no bitmap
    // can be made (a zero side, or no memory).
    static SharedImage transformedImage(const SharedImage& image, double degrees);
};

} // namespace sorvin
