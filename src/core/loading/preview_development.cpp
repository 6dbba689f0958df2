#include "loading/preview_development.hpp"

#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"

#include <cmath>
#include <numbers>

namespace sorvin {

PreviewDevelopment::Develop PreviewDevelopment::engine() {
    return [](const SharedImage& image, const PhotoParameters& parameters,
              const std::optional<VignetteFrame>& frame, const CancellationProbe& isCancelled) {
        return ParameterAdjustment::applying(image, parameters, frame, MaskKindCatalog::current(),
                                             isCancelled);
    };
}

SharedImage PreviewDevelopment::withLensGeometry(const SharedImage& image, const PhotoParameters& parameters,
                                                 const CancellationProbe& isCancelled) {
    if (!image) return nullptr;
    const GeometryValues values = GeometryValues::of(parameters);
    if (values.isNeutral()) return image;
    return GeometryAdjustment::applying(image, values, true, isCancelled);
}

std::optional<VignetteFrame> PreviewDevelopment::vignetteFrame(int width, int height,
                                                               const PhotoParameters& parameters,
                                                               double rotation, const ManualCrop& crop) {
    if (parameters[PhotoParameter::vignette_amount] == 0) return std::nullopt;
    const PixelSize rotated = PhotoRotation::outputSize(width, height, rotation);
    const ManualCropGeometry frame = crop.geometry(rotated.width, rotated.height);
    // Offset of the crop's centre from the centre of the rotated picture.
    const double dx = frame.x + (frame.width - 1) / 2.0 - (rotated.width - 1) / 2.0;
    const double dy = frame.y + (frame.height - 1) / 2.0 - (rotated.height - 1) / 2.0;
    const double a = rotation * (-std::numbers::pi) / 180.0;
    return VignetteFrame{
        .centerX = (width - 1) / 2.0 + std::cos(a) * dx - std::sin(a) * dy,
        .centerY = (height - 1) / 2.0 + std::sin(a) * dx + std::cos(a) * dy,
        .width = frame.width,
        .height = frame.height,
        .rotation = rotation,
    };
}

} // namespace sorvin
