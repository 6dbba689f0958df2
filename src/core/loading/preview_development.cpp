#include "loading/preview_development.hpp"

#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"

namespace sorvin {

PreviewDevelopment::Develop PreviewDevelopment::engine() {
    return [](const SharedImage& image, const PhotoParameters& parameters,
              const std::optional<DevelopmentPlacement>& placement, const CancellationProbe& isCancelled) {
        return ParameterAdjustment::applying(image, parameters, placement, MaskKindCatalog::current(),
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

std::optional<DevelopmentPlacement> PreviewDevelopment::placement(int width, int height, double rotation,
                                                                  const ManualCrop& crop) {
    // Whole quarter turns alone leave the picture the whole bitmap.
    const PixelSize turned = PhotoRotation::outputSize(width, height, rotation);
    if (PhotoRotation::isNone(PhotoRotation::decomposed(rotation).residual) &&
        crop.fillsImage(turned.width, turned.height))
        return std::nullopt;
    return DevelopmentPlacement::ofWholePhoto(width, height, rotation, crop);
}

} // namespace sorvin
