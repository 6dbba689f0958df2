#pragma once

#include "engine/cancellation_probe.hpp"
#include "platform/geometry.hpp"
#include "platform/image.hpp"

namespace sorvin {

class PhotoParameters;

// The seven lens and perspective values as stored (geometry_zoom 0...100, the others -100...100).
struct GeometryValues {
    int distortion = 0;
    int chromaticRed = 0;
    int chromaticBlue = 0;
    int perspectiveVertical = 0;
    int perspectiveHorizontal = 0;
    int aspect = 0;
    int zoom = 0;

    static GeometryValues of(const PhotoParameters& parameters);

    // Every value at its default (0): the photo needs no lens geometry pass.
    bool isNeutral() const { return *this == GeometryValues{}; }

    friend bool operator==(const GeometryValues&, const GeometryValues&) = default;
};

// Lens and perspective correction by inverse mapping: every output pixel is sampled bilinearly
// from where it comes from in the source. Pixels that come from outside the source are opaque
// black; every output pixel is opaque. The geometry is always that of the whole source, so a part
// resampled on its own equals that part of the whole result.
struct GeometryAdjustment {
    // The whole source resampled; none when cancelled.
    static SharedImage applying(const SharedImage& source, const PhotoParameters& parameters, bool parallel,
                                const CancellationProbe& isCancelled = neverCancelled());
    static SharedImage applying(const SharedImage& source, const GeometryValues& values, bool parallel,
                                const CancellationProbe& isCancelled = neverCancelled());

    // Only the pixels of outputRect, in source pixel coordinates (made integral and cut to the
    // source); none when the rectangle misses the source or the work was cancelled.
    static SharedImage applyingCrop(const SharedImage& source, const Rect& outputRect,
                                    const PhotoParameters& parameters, bool parallel,
                                    const CancellationProbe& isCancelled = neverCancelled());
    static SharedImage applyingCrop(const SharedImage& source, const Rect& outputRect,
                                    const GeometryValues& values, bool parallel,
                                    const CancellationProbe& isCancelled = neverCancelled());
};

} // namespace sorvin
