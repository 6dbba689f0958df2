#include "export/exporter_reencode.hpp"

#include "export/export_long_edge.hpp"
#include "model/photo_rotation.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin::Exporter {

namespace {

PhotoParameters exposureOnly(int brightness) {
    PhotoParameters parameters;
    parameters.setValue(brightness, PhotoParameter::exposure);
    return parameters;
}

bool hasEdits(const PhotoParameters& parameters) {
    return !parameters.values.isEmpty() || !parameters.masks.empty();
}

} // namespace

PhotoParameters selectedParameters(const Photo& photo, PhotoSource source, int brightness,
                                   const ParametersByPath& params, const ParametersByPath& paramsRaw) {
    if (source == PhotoSource::raw) {
        const auto found = paramsRaw.find(photo.relativePath);
        return found != paramsRaw.end() ? found->second : PhotoParameters::zero();
    }
    const auto found = params.find(photo.relativePath);
    return found != params.end() ? found->second : exposureOnly(brightness);
}

PhotoSource effectiveSource(const Photo& photo, std::optional<PhotoSource> source) {
    if (source) return *source;
    return photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg;
}

bool shouldReencode(const Photo& photo, ExportImageFormat outputFormat, bool burnInOrientation,
                    double rotation, const ManualCrop& crop, int exposure,
                    const std::optional<PhotoParameters>& params, std::optional<PhotoSource> source,
                    std::optional<int> maximumLongEdge) {
    if (effectiveSource(photo, source) == PhotoSource::raw) return true;
    switch (photo.fileFormat) {
    case PhotoFileFormat::raw:
        return true;
    case PhotoFileFormat::jpeg:
        if (outputFormat != ExportImageFormat::jpeg) return true;
        break;
    case PhotoFileFormat::heif:
        if (outputFormat != ExportImageFormat::heif) return true;
        break;
    }
    if (hasEdits(params ? *params : exposureOnly(exposure))) return true;
    if (std::fabs(rotation) >= PhotoRotation::kNoRotation) return true;
    if (burnInOrientation && photo.orientation != 1) return true;
    if (crop.isDefault() && !maximumLongEdge) return false;
    if (photo.pixelWidth < 1 || photo.pixelHeight < 1) return true;
    const bool swapped = photo.orientation >= 5 && photo.orientation <= 8;
    const int width = swapped ? photo.pixelHeight : photo.pixelWidth;
    const int height = swapped ? photo.pixelWidth : photo.pixelHeight;
    if (maximumLongEdge) {
        const auto geometry = crop.geometry(width, height);
        if (std::max(geometry.width, geometry.height) > ExportLongEdge::clampedLimit(*maximumLongEdge))
            return true;
    }
    return !crop.fillsImage(width, height);
}

} // namespace sorvin::Exporter
