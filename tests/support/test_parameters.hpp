#pragma once

#include "model/photo_parameters.hpp"

#include <initializer_list>
#include <utility>

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

} // namespace sorvin::test
