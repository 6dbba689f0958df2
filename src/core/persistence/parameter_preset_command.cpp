#include "persistence/parameter_preset_command.hpp"

#include "library/photo_library.hpp"

namespace sorvin::ParameterPresetCommand {

std::optional<ParameterPresetApplication> apply(const ParameterPreset& preset, PhotoLibrary& library) {
    if (!library.currentPhoto()) return std::nullopt;
    PhotoAdjustmentResult adjustment;
    if (preset.appliesParameters) adjustment = library.setCurrentParameters(preset.parameters);
    return ParameterPresetApplication{adjustment, {"プリセット「" + preset.name + "」を適用しました"}};
}

} // namespace sorvin::ParameterPresetCommand
