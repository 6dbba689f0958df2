#include "panel/parameter_edit_target_palette.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

std::uint8_t channel(double component) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(component, 0.0, 1.0) * 255));
}

} // namespace

std::optional<SrgbColor> ParameterEditTargetPalette::color(ParameterEditTarget target,
                                                           const PhotoParameters& parameters,
                                                           const MaskKindCatalog& catalog) {
    const auto index = target.maskIndex();
    if (!index || *index < 0 || *index >= static_cast<int>(parameters.masks.size())) return std::nullopt;
    const MaskKindDefinition* definition =
        catalog.definition(parameters.masks[static_cast<std::size_t>(*index)].kind);
    if (!definition) return std::nullopt;
    const MaskDisplayColor& c = definition->selectedColor;
    return SrgbColor{channel(c.red), channel(c.green), channel(c.blue)};
}

} // namespace sorvin
