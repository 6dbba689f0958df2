#pragma once

#include "model/photo_parameter.hpp"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>

namespace sorvin {

// Which optional controls the RAW filter offers for one file. A photo the RAW developer has not
// reported on yet counts as supporting every control, which is what a default record says.
struct RawDevelopmentSupport {
    bool colorNoiseReduction = true;
    bool luminanceNoiseReduction = true;
    bool sharpness = true;
    bool contrast = true;
    bool detail = true;
    bool lensCorrection = true;

    // The ten columns of the RAW development page for the file: an unsupported control leaves its
    // column empty, so the other sliders keep their places (and their keys).
    std::array<std::optional<PhotoParameter>, ParameterCatalog::columnsPerPage> visibleParameters() const;

    friend bool operator==(const RawDevelopmentSupport&, const RawDevelopmentSupport&) = default;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::RawDevelopmentSupport> {
    std::size_t operator()(const sorvin::RawDevelopmentSupport& s) const noexcept {
        return static_cast<std::size_t>(s.colorNoiseReduction) |
               static_cast<std::size_t>(s.luminanceNoiseReduction) << 1 |
               static_cast<std::size_t>(s.sharpness) << 2 | static_cast<std::size_t>(s.contrast) << 3 |
               static_cast<std::size_t>(s.detail) << 4 | static_cast<std::size_t>(s.lensCorrection) << 5;
    }
};
