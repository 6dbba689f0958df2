#pragma once

#include "library/library_results.hpp"
#include "persistence/parameter_preset.hpp"
#include "persistence/parameter_preset_manager.hpp"

#include <optional>

namespace sorvin {

class PhotoLibrary;

struct ParameterPresetApplication {
    PhotoAdjustmentResult adjustment;
    ParameterPresetToast toast;
};

namespace ParameterPresetCommand {

// Replaces the current photo's whole parameter set (masks included) for the current copy and
// source by the preset's. A preset that applies nothing changes nothing, and the message comes
// either way. None when there is no current photo.
std::optional<ParameterPresetApplication> apply(const ParameterPreset& preset, PhotoLibrary& library);

} // namespace ParameterPresetCommand

} // namespace sorvin
