#pragma once

#include "model/parameter_edit_target.hpp"
#include "model/photo_parameter.hpp"
#include "model/photo_parameters.hpp"

#include <optional>

namespace sorvin {

// Sliders that only act while a parent amount is set are dimmed while that amount is 0.
struct ParameterChildSliderAppearance {
    static constexpr double dimmedOpacity = 0.4;

    // The parent amount of a child slider; none for every other parameter.
    static std::optional<PhotoParameter> parent(PhotoParameter parameter);
    // The column's opacity, the parent read for the same edit target.
    static double opacity(PhotoParameter parameter, const PhotoParameters& parameters,
                          ParameterEditTarget target);
};

} // namespace sorvin
