#pragma once

#include "model/parameter_edit_target.hpp"
#include "platform/srgb_color.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

class PhotoParameters;
struct MaskKindCatalog;

struct MaskTabItemModel {
    ParameterEditTarget target;
    std::string title;
    bool isSelected = false;
    std::string backgroundHex;
    std::string textHex;
    friend bool operator==(const MaskTabItemModel&, const MaskTabItemModel&) = default;
};

// The tabs over the photo: "全体" and one per mask, the current edit target selected, and the
// add-mask button.
struct MaskTabBarModel {
    std::vector<MaskTabItemModel> items;
    bool canAddMask = false;
    std::string addButtonBackgroundHex;
    std::string addButtonTextHex;

    // The colour of a "#RRGGBB" text (either case); none for any other text, which the views
    // draw in the text colour.
    static std::optional<SrgbColor> color(std::string_view hex);

    static MaskTabBarModel make(const PhotoParameters& parameters, ParameterEditTarget selectedTarget,
                                bool hasPhoto, const MaskKindCatalog& catalog);

    friend bool operator==(const MaskTabBarModel&, const MaskTabBarModel&) = default;
};

} // namespace sorvin
