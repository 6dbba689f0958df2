#pragma once

#include "engine/cancellation_probe.hpp"
#include "model/development_placement.hpp"
#include "model/manual_crop.hpp"
#include "platform/image.hpp"

#include <functional>
#include <optional>

namespace sorvin {

class PhotoParameters;

// The development of a display-size preview, shared by the loader's operations: lens geometry
// when the photo uses it, then the parameters with the finished picture placed for the rotation
// and crop. Rotation and crop are never baked in; the canvas draws them.
struct PreviewDevelopment {
    // The development engine's pass; swapped out by tests that watch what it is given.
    using Develop =
        std::function<SharedImage(const SharedImage&, const PhotoParameters&,
                                  const std::optional<DevelopmentPlacement>&, const CancellationProbe&)>;

    // ParameterAdjustment with the program's mask kinds.
    static Develop engine();

    // The image through the lens geometry pass, at its own size; the image itself when every
    // geometry value is at its default (masks are not looked at); none on failure or cancellation.
    static SharedImage withLensGeometry(const SharedImage& image, const PhotoParameters& parameters,
                                        const CancellationProbe& isCancelled);

    // The whole photo of this size, whose finished picture is its crop after the rotation: where
    // the vignette lies. None when the picture is the whole bitmap (no fine turn, and a crop that
    // keeps everything).
    static std::optional<DevelopmentPlacement> placement(int width, int height, double rotation,
                                                         const ManualCrop& crop);
};

} // namespace sorvin
