#pragma once

#include "engine/cancellation_probe.hpp"
#include "export/export_image_format.hpp"
#include "model/manual_crop.hpp"
#include "model/photo.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"
#include "platform/image.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>

namespace sorvin {

// The finished pixels of a re-encoded output, upright, and the file whose metadata goes with them.
struct RenderedEditedImage {
    SharedImage image;
    std::filesystem::path metadataSource;
};

// Either the rendered image or the error that stopped it.
struct ExportRendering {
    std::optional<RenderedEditedImage> rendered;
    std::error_code error;
};

// Decodes a photo's JPEG/HEIF file for a source, upright, at the smallest size the decoder can
// reduce to without a long edge below the minimum given (0: full size); none when it cannot, or
// when the file's picture data ends early or is damaged.
using ExportImageDecoder = std::function<SharedImage(const Photo&, PhotoSource, int minimumLongEdge)>;

namespace Exporter {

// The chosen source decoded (or its RAW file developed), turned upright, corrected for lens
// geometry, rotated, cropped, developed and reduced to the long-edge limit, in that fixed order,
// except that whole quarter turns are made after the development: the picture is the screen's,
// which develops the photo upright, to the bit.
// A JPEG file whose output is far smaller may be decoded at half scale where that gives the same
// picture (the rules are beside the code); the result always has the size a full-size decode gives.
// A source whose picture data ends early or is damaged (a file cut short on a pulled card) is a
// failure like any other. A source that gives no picture gives the system's error when its file
// cannot be opened (a lost connection is not damage) and fileReadTooLarge beyond the decoder's
// limit; every other failure gives fileReadCorruptFile; work given up because the probe asked for
// it gives operation_canceled (the export was cancelled: no failure to report).
ExportRendering renderEditedImageAndMetadata(const Photo& photo, double rotation, const ManualCrop& crop,
                                             const PhotoParameters& params, std::optional<PhotoSource> source,
                                             std::optional<int> maximumLongEdge,
                                             const ExportImageDecoder& decode,
                                             const CancellationProbe& isCancelled = neverCancelled());

// The file bytes of a rendered image in a format (JPEG quality 95, HEIF 90) with the metadata of
// its source (orientation 1, the new size, our software name) and the sRGB profile; none when the
// encoder fails. The rendering is taken over, so that a caller moving it in has its bitmap freed as
// soon as the encoder has made its own copy.
std::optional<std::string> encodedImage(RenderedEditedImage rendered, ExportImageFormat format);

// The program's decoder (ImageDecoder), reducing JPEG files by the DCT's scales only.
ExportImageDecoder fileDecoder();

// What the pipeline calls to render one output (the function above, or a stand-in).
using ExportRenderer =
    std::function<ExportRendering(const Photo&, double rotation, const ManualCrop&, const PhotoParameters&,
                                  PhotoSource, std::optional<int> maximumLongEdge)>;

} // namespace Exporter

} // namespace sorvin
