#include "loading/histogram_image_processor.hpp"

#include "engine/clipping_warning_analyzer.hpp"
#include "engine/display_adjustment_resolution.hpp"
#include "engine/geometry_adjustment.hpp"
#include "engine/histogram_pixel_data.hpp"
#include "engine/parameter_adjustment.hpp"
#include "loading/histogram_analyzer.hpp"
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
    image = PhotoRotation::transformedImage(image, rotation);
    if (!image) return std::nullopt;
    image = PhotoEditGeometry::croppedImage(image, crop);
    if (!image) return std::nullopt;
    image = resizedToHistogramBounds(image);
    if (!image) return std::nullopt;
    image = ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current());
    if (!image) return std::nullopt;

    if (!clippingWarningEnabled) return HistogramLoadResult{HistogramAnalyzer::analyze(image), nullptr};
    const auto pixels = HistogramPixelData::make(image);
    if (!pixels) return std::nullopt;
    return HistogramLoadResult{HistogramAnalyzer::analyze(*pixels),
                               ClippingWarningAnalyzer::makeMask(*pixels)};
}

} // namespace sorvin
