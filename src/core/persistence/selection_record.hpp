#pragma once

#include "model/manual_crop.hpp"
#include "model/mask_kind.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"
#include "model/retouch_state.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// Everything the user decided about one folder, keyed by the photos' relative paths, as kept in
// its record file. A path missing from a map has the default (not hearted, no rotation, the
// whole image, parameters at their defaults without masks, the JPEG source, no copy B).
struct SelectionRecord {
    template <typename T>
    using PathMap = std::map<std::string, T>;

    int version = 2;
    std::string app;
    std::string updatedAt;
    std::optional<std::string> cursor;
    std::vector<std::string> hearts;
    PathMap<double> rotations;
    PathMap<ManualCrop> crops;
    int paramScale = 100;
    int maskScale = 1000;
    PathMap<int> brightness;
    PathMap<std::vector<MaskKind>> masks;
    PathMap<PhotoParameters> params;
    PathMap<PhotoParameters> paramsRaw;
    PathMap<PhotoSource> sources;
    PathMap<RetouchState> retouchesB;

    // The normalising construction every version-2 record and every saved record goes through:
    // folds brightness into the parameters, drops empty parameter sets, keeps the masks of each
    // photo's two sets on one list of kinds, mirrors brightness from the exposure values, keeps
    // only RAW sources and cleans every copy B. Never fails.
    static SelectionRecord normalized(SelectionRecord given);

    // A parameter set is kept for a photo only when it has a global value or a mask.
    static bool keepsParameters(const PhotoParameters& parameters) {
        return !parameters.values.isEmpty() || !parameters.masks.empty();
    }

    bool operator==(const SelectionRecord&) const = default;
};

} // namespace sorvin
