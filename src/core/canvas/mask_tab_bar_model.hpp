#pragma once

#include "model/parameter_edit_target.hpp"

#include <cstdint>
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

    static MaskTabBarModel make(const PhotoParameters& parameters, ParameterEditTarget selectedTarget,
                                bool hasPhoto, const MaskKindCatalog& catalog);

    friend bool operator==(const MaskTabBarModel&, const MaskTabBarModel&) = default;
};

struct HexColor {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const HexColor&, const HexColor&) = default;

    // "#RRGGBB" (either case); none for any other text, which the views draw in the text colour.
    static std::optional<HexColor> parse(std::string_view text);
};

} // namespace sorvin
