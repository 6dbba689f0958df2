#pragma once

#include "engine/cancellation_probe.hpp"
#include "model/photo_asset.hpp"
#include "model/photo_parameters.hpp"
#include "platform/damaged_data.hpp"

#include <memory>
#include <optional>
#include <string>

namespace sorvin {

class RawDevelopmentSupportStore;

// One RAW development to make.
struct RawDevelopmentRequest {
    std::string photoIdentifier;        // the photo's relative path; key of the caches and the support store
    PhotoAsset asset;                   // the RAW file: its location and EXIF orientation are used
    PhotoParameters parameters;         // only the global RAW values are read
    std::optional<int> maximumLongEdge; // none: full size
    std::shared_ptr<RawDevelopmentSupportStore> supportStore; // where the file's support is recorded
    // Asked between the stages of the development; a caller that gave up gets no result.
    CancellationProbe isCancelled = {};
    // An export or a copied image gets no result from a file cut short (see RawFilter::make).
    DamagedData damagedData = DamagedData::filledIn;
};

} // namespace sorvin
