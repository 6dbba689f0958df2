#pragma once

#include "model/manual_crop.hpp"
#include "model/mask_kind.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"

#include <vector>

namespace sorvin {

// The whole edit state of a photo's copy B, kept by the library as one value.
struct RetouchState {
    bool heart = false;
    PhotoSource source = PhotoSource::jpeg;
    double rotation = 0; // degrees
    ManualCrop crop;
    PhotoParameters params;    // development of the JPEG/HEIF file
    PhotoParameters paramsRaw; // development of the RAW file
    std::vector<MaskKind> masks;

    bool operator==(const RetouchState&) const = default;
};

} // namespace sorvin
