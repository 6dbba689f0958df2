#include "model/adjustment_badge_formatter.hpp"

#include "model/photo_rotation.hpp"

#include <fmt/format.h>

namespace sorvin {

std::vector<std::string> AdjustmentBadgeFormatter::components(const ManualCrop& crop, double rotation) {
    std::vector<std::string> badges;
    if (crop.aspect.isRatio()) badges.push_back(crop.aspect.displayText());
    if (crop.sizeP != ManualCrop::kMaximumSize) badges.push_back(fmt::format("{}%", crop.sizeP));
    if (auto text = PhotoRotation::displayText(rotation, false)) badges.push_back(std::move(*text));
    return badges;
}

} // namespace sorvin
