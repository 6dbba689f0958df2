#pragma once

#include "engine/cancellation_probe.hpp"
#include "engine/vignette_adjustment.hpp"
#include "model/manual_crop.hpp"
#include "platform/image.hpp"

#include <functional>
#include <optional>

namespace sorvin {

class PhotoParameters;

// The development of a display-size preview, shared by the loader's operations: lens geometry
// when the photo uses it, then the parameters with the vignette placed for the rotation and
// crop. Rotation and crop are never baked in; the canvas draws them.
struct PreviewDevelopment {
    // The development engine's pass; swapped out by tests that watch what it is given.
    using Develop = std::function<SharedImage(const SharedImage&, const PhotoParameters&,
                                              const std::optional<VignetteFrame>&, const CancellationProbe&)>;

    // ParameterAdjustment with the program's mask kinds.
    static Develop engine();

    // The image through the lens geometry pass, at its own size; the image itself when every
    // geometry value is at its default (masks are not looked at); none on failure or cancellation.
    static SharedImage withLensGeometry(const SharedImage& image, const PhotoParameters& parameters,
                                        const CancellationProbe& isCancelled);

    // Where the vignette lies in an unrotated, uncropped image of this size: centred on the crop
    // as it falls in the rotated picture, turned back into the image's own frame. None unless the
    // global vignette amount is set.
    static std::optional<VignetteFrame> vignetteFrame(int width, int height,
                                                      const PhotoParameters& parameters, double rotation,
                                                      const ManualCrop& crop);
};

} // namespace sorvin
