#pragma once

#include <optional>

namespace sorvin {

// Why automatic straightening proposes no rotation.
enum class StraighteningRejection {
    excessiveAngle,        // the correction would exceed 5°
    weakPeak,              // no dominant direction
    ambiguousPeak,         // a second direction nearly as strong
    insufficientEdges,     // picture too small or fewer than 1000 voting pixels
    imageConversionFailed, // the picture cannot be turned into grey values
};

// What automatic straightening measured and proposes. Angles are in degrees, positive clockwise.
struct StraighteningAnalysis {
    // A multiple of 0.5 with magnitude at most 5; present exactly when nothing was refused.
    std::optional<double> correction;
    // The lean of the near-vertical edges; present whenever the angle histogram was evaluated.
    std::optional<double> peakAngle;
    double peakRatio = 0;          // histogram peak / histogram mean
    double secondaryPeakRatio = 0; // strongest value at least 3° from the peak / the peak
    int eligiblePixelCount = 0;
    std::optional<StraighteningRejection> rejection;

    friend bool operator==(const StraighteningAnalysis&, const StraighteningAnalysis&) = default;
};

} // namespace sorvin
