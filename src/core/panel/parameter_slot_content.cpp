#include "panel/parameter_slot_content.hpp"

#include "model/parameter_panel_pages.hpp"

namespace sorvin {

std::vector<ParameterSlotContent>
ParameterSlotContent::slots(ParameterPage page, ParameterEditTarget target, const PhotoParameters& parameters,
                            bool isRaw, const RawDevelopmentSupport& rawDevelopmentSupport) {
    std::optional<MaskKind> maskKind;
    if (const auto index = target.maskIndex();
        index && *index >= 0 && *index < static_cast<int>(parameters.masks.size()))
        maskKind = parameters.masks[static_cast<std::size_t>(*index)].kind;
    const auto list = ParameterPanelPages::parameters(page, target, maskKind, isRaw, rawDevelopmentSupport);
    std::vector<ParameterSlotContent> slots;
    slots.reserve(list.size());
    for (std::size_t k = 0; k < list.size(); ++k)
        slots.push_back({list[k], static_cast<int>(k)});
    return slots;
}

} // namespace sorvin
