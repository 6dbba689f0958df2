#pragma once

#include "export/export_image_format.hpp"
#include "library/photo_library_view_cache.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"

#include <optional>
#include <string>

// Which development applies to an export item, and whether its output can be a byte copy.
namespace sorvin::Exporter {

using ParametersByPath = PathMap<PhotoParameters>;

// RAW source: the stored RAW parameters or none at all. JPEG/HEIF source: the stored parameters,
// or (for records that only knew a brightness) a set holding only that exposure.
PhotoParameters selectedParameters(const Photo& photo, PhotoSource source, int brightness,
                                   const ParametersByPath& params, const ParametersByPath& paramsRaw);

// The source of a photo when none is chosen: its RAW file only for a lone RAW photo.
PhotoSource effectiveSource(const Photo& photo, std::optional<PhotoSource> source);

// True when the output must be decoded, developed and encoded again; false when the photo's file
// can be copied byte for byte (any change of pixels, format, size or, with burn-in, orientation
// needs a re-encode). The limit is the clamped long-edge limit.
bool shouldReencode(const Photo& photo, ExportImageFormat outputFormat, bool burnInOrientation,
                    double rotation, const ManualCrop& crop, int exposure,
                    const std::optional<PhotoParameters>& params, std::optional<PhotoSource> source,
                    std::optional<int> maximumLongEdge);

} // namespace sorvin::Exporter
