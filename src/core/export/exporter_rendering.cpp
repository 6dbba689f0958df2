#include "export/exporter_rendering.hpp"

#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/raw_developer.hpp"
#include "export/export_error.hpp"
#include "export/export_long_edge.hpp"
#include "export/exporter_reencode.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/orientation_transform.hpp"
#include "model/photo_edit_geometry.hpp"
#include "model/photo_rotation.hpp"

namespace sorvin::Exporter {

namespace {

bool hasGeometry(const PhotoParameters& params) {
    const auto values = GeometryValues::of(params);
    return values.distortion != 0 || values.chromaticRed != 0 || values.chromaticBlue != 0 ||
           values.perspectiveVertical != 0 || values.perspectiveHorizontal != 0 || values.aspect != 0 ||
           values.zoom != 0;
}

SharedImage decodedUpright(const PhotoAsset& asset, const PhotoParameters& params,
                           const std::string& identifier, const ExportImageDecoder& decode) {
    if (asset.fileFormat == PhotoFileFormat::raw) {
        RawDevelopmentRequest request;
        request.photoIdentifier = identifier;
        request.asset = asset;
        request.parameters = params;
        const auto developed = RawDeveloper::develop(request);
        return developed ? developed->image : nullptr;
    }
    if (!decode) return nullptr;
    const SharedImage decoded = decode(asset);
    if (!decoded) return nullptr;
    return OrientationTransform::transformedImage(decoded, asset.orientation);
}

} // namespace

ExportRendering renderEditedImageAndMetadata(const Photo& photo, double rotation, const ManualCrop& crop,
                                             const PhotoParameters& params, std::optional<PhotoSource> source,
                                             std::optional<int> maximumLongEdge,
                                             const ExportImageDecoder& decode) {
    const auto failed = [] { return ExportRendering{std::nullopt, ExportErrc::fileReadCorruptFile}; };
    const PhotoAsset asset = photo.asset(effectiveSource(photo, source));
    try {
        SharedImage image = decodedUpright(asset, params, photo.relativePath, decode);
        if (!image) return failed();
        if (hasGeometry(params)) {
            image = GeometryAdjustment::applying(image, params, true);
            if (!image) return failed();
        }
        image = PhotoRotation::transformedImage(image, rotation);
        if (!image) return failed();
        image = PhotoEditGeometry::croppedImage(image, crop);
        if (!image) return failed();
        const VignetteFrame frame{(image->width() - 1) / 2.0, (image->height() - 1) / 2.0, image->width(),
                                  image->height(), 0};
        image = ParameterAdjustment::applying(image, params, frame, MaskKindCatalog::current());
        if (!image) return failed();
        image = ExportLongEdge::resizedImage(image, maximumLongEdge);
        if (!image) return failed();
        return ExportRendering{RenderedEditedImage{std::move(image), asset.url}, {}};
    } catch (const std::exception&) { // out of memory in a stage that does not catch it itself
        return failed();
    }
}

} // namespace sorvin::Exporter
