#pragma once

#include "loading/histogram_data.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_parameters.hpp"
#include "platform/image.hpp"

#include <optional>

namespace sorvin {

// What one histogram run hands back: the histogram and, with the clipping warning on, the mask
// of clipped pixels (none when it could not be made).
struct HistogramLoadResult {
    HistogramData histogram;
    SharedImage clippingWarningImage;
};

// The image work of a histogram run, off the main thread: the photo as the user sees it (lens
// geometry, rotation, crop), reduced to the histogram's bounds, then developed and counted.
struct HistogramImageProcessor {
    static constexpr int kLongEdge = 512;

    // The image with its long edge brought down to 512 pixels (sides rounded, at least 1); the
    // image itself when it is not larger; none for an empty image.
    static SharedImage resizedToHistogramBounds(const SharedImage& image);

    // None when any step fails (or, with the clipping warning on, when the pixels cannot be had).
    static std::optional<HistogramLoadResult> process(const SharedImage& source, double rotation,
                                                      const ManualCrop& crop,
                                                      const PhotoParameters& parameters,
                                                      bool clippingWarningEnabled);
};

} // namespace sorvin
