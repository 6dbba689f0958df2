#pragma once

#include "model/photo_parameters.hpp"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace sorvin::test {

// Parameters with the global values given.
inline PhotoParameters withValues(std::initializer_list<std::pair<PhotoParameter, int>> values,
                                  PhotoParameters parameters = {}) {
    for (const auto& [p, v] : values)
        parameters.setValue(v, p);
    return parameters;
}

// Parameters with one mask of the kind, its values set as given.
inline PhotoParameters withMask(const MaskKind& kind,
                                std::initializer_list<std::pair<PhotoParameter, int>> values) {
    PhotoParameters parameters;
    const auto index = parameters.appendMask(kind);
    for (const auto& [p, v] : values)
        parameters.setValue(v, p, ParameterEditTarget::mask(*index));
    return parameters;
}

// One strong setting of each stage that reads the pixels around a pixel, by name.
inline std::vector<std::pair<std::string, PhotoParameters>> detailStages() {
    return {{"clarity", withValues({{PhotoParameter::clarity, 80}})},
            {"texture", withValues({{PhotoParameter::texture, 80}})},
            {"dehaze", withValues({{PhotoParameter::dehaze, 60}})},
            {"sharpening", withValues({{PhotoParameter::sharpen_amount, 100},
                                       {PhotoParameter::sharpen_radius, 80},
                                       {PhotoParameter::sharpen_detail, 60}})},
            {"noise reduction", withValues({{PhotoParameter::noise_luminance_amount, 70},
                                            {PhotoParameter::noise_color_amount, 60}})}};
}

} // namespace sorvin::test
