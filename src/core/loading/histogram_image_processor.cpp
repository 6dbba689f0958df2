#include "loading/histogram_image_processor.hpp"

#include "engine/clipping_warning_analyzer.hpp"
#include "engine/display_adjustment_resolution.hpp"
#include "engine/geometry_adjustment.hpp"
#include "engine/histogram_pixel_data.hpp"
#include "engine/parameter_adjustment.hpp"
#include "loading/histogram_analyzer.hpp"
#include "model/development_placement.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_edit_geometry.hpp"
#include "model/photo_parameter.hpp"
#include "model/photo_rotation.hpp"

namespace sorvin {

SharedImage HistogramImageProcessor::resizedToHistogramBounds(const SharedImage& image) {
    return DisplayAdjustmentResolution::resized(image, kLongEdge);
}

std::optional<HistogramLoadResult> HistogramImageProcessor::process(const SharedImage& source,
                                                                    double rotation, const ManualCrop& crop,
                                                                    const PhotoParameters& parameters,
                                                                    bool clippingWarningEnabled) {
    SharedImage image = source;
    if (!image) return std::nullopt;
    if (!GeometryValues::of(parameters).isNeutral()) {
        image = GeometryAdjustment::applying(image, parameters, true);
        if (!image) return std::nullopt;
    }
    const int uprightWidth = image->width(), uprightHeight = image->height();
    image = PhotoRotation::transformedImage(image, rotation);
    if (!image) return std::nullopt;
    const ManualCropGeometry cut = crop.geometry(image->width(), image->height());
    const bool cropped = cut.width != image->width() || cut.height != image->height();
    image = PhotoEditGeometry::croppedImage(image, crop);
    if (!image) return std::nullopt;
    image = resizedToHistogramBounds(image);
    if (!image) return std::nullopt;
    // Masks and the other stages lie on the whole photo, as on the screen.
    std::optional<DevelopmentPlacement> placement;
    if (cropped || !PlaneTurn::of(rotation).isNone()) {
        const Rect picture{static_cast<double>(cut.x), static_cast<double>(cut.y),
                           static_cast<double>(cut.width), static_cast<double>(cut.height)};
        placement =
            DevelopmentPlacement::ofTurnedPart(uprightWidth, uprightHeight, rotation, picture, picture)
                .scaled(static_cast<double>(image->width()) / cut.width);
    }
    image = ParameterAdjustment::applying(image, parameters, placement, MaskKindCatalog::current());
    if (!image) return std::nullopt;

    if (!clippingWarningEnabled) return HistogramLoadResult{HistogramAnalyzer::analyze(image), nullptr};
    const auto pixels = HistogramPixelData::make(image);
    if (!pixels) return std::nullopt;
    return HistogramLoadResult{HistogramAnalyzer::analyze(*pixels),
                               ClippingWarningAnalyzer::makeMask(*pixels)};
}

} // namespace sorvin
