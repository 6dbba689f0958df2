#pragma once

#include "model/photo_parameters.hpp"

#include <string>
#include <vector>

namespace sorvin {

// A named development state.
struct ParameterPreset {
    // 1 to 30 characters after normalising (ParameterPresetName).
    std::string name;
    PhotoParameters parameters;
    // False only for a preset read from a text whose parameter keys were all obsolete: it is
    // listed and can be renamed, moved or deleted, applying it changes nothing, and the next save
    // drops it.
    bool appliesParameters = true;

    friend bool operator==(const ParameterPreset&, const ParameterPreset&) = default;
};

struct ParameterPresetLoadResult {
    // In stored order.
    std::vector<ParameterPreset> presets;
};

} // namespace sorvin
