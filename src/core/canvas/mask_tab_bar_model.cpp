#include "canvas/mask_tab_bar_model.hpp"

#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

namespace sorvin {

namespace {

struct TabColors {
    std::string_view background;
    std::string_view text;
};

constexpr TabColors kGlobalSelected{"#8E8E93", "#FFFFFF"};
constexpr TabColors kUnselected{"#3A3A3C", "#F2F2F7"};
constexpr std::string_view kSelectedText = "#FFFFFF";
constexpr std::string_view kUnknownKindSelected = "#3A3A3C";
constexpr TabColors kAddEnabled{"#3A3A3C", "#F2F2F7"};
constexpr TabColors kAddDisabled{"#2C2C2E", "#48484A"};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

MaskTabBarModel MaskTabBarModel::make(const PhotoParameters& parameters, ParameterEditTarget selectedTarget,
                                      bool hasPhoto, const MaskKindCatalog& catalog) {
    const int maskCount = static_cast<int>(parameters.masks.size());
    const auto selectedIndex = selectedTarget.maskIndex();
    const bool maskSelected = selectedIndex && *selectedIndex >= 0 && *selectedIndex < maskCount;

    MaskTabBarModel model;
    const TabColors global = maskSelected ? kUnselected : kGlobalSelected;
    model.items.push_back({ParameterEditTarget::global(), "全体", !maskSelected,
                           std::string(global.background), std::string(global.text)});
    for (int i = 0; i < maskCount; ++i) {
        const bool selected = maskSelected && *selectedIndex == i;
        MaskTabItemModel item{ParameterEditTarget::mask(i),
                              parameters.maskDisplayName(i, catalog).value_or(""), selected,
                              std::string(kUnselected.background), std::string(kUnselected.text)};
        if (selected) {
            const auto* definition = catalog.definition(parameters.masks[static_cast<std::size_t>(i)].kind);
            item.backgroundHex =
                definition ? definition->selectedColor.hex : std::string(kUnknownKindSelected);
            item.textHex = kSelectedText;
        }
        model.items.push_back(std::move(item));
    }
    model.canAddMask = hasPhoto && parameters.masks.size() < maximumMaskCount;
    const TabColors add = model.canAddMask ? kAddEnabled : kAddDisabled;
    model.addButtonBackgroundHex = add.background;
    model.addButtonTextHex = add.text;
    return model;
}

std::optional<SrgbColor> MaskTabBarModel::color(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text.substr(1)) {
        const int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return SrgbColor{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                     static_cast<std::uint8_t>(value)};
}

} // namespace sorvin
