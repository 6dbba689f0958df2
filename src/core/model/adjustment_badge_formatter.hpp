#pragma once

#include "model/manual_crop.hpp"

#include <string>
#include <vector>

namespace sorvin {

// The short badges of a row in the file list: the crop's ratio, its size when below 100 %, and
// the rotation. An uncropped, unrotated photo has none.
struct AdjustmentBadgeFormatter {
    static std::vector<std::string> components(const ManualCrop& crop, double rotation);
};

} // namespace sorvin
