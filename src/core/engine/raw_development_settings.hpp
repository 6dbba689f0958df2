#pragma once

#include "model/photo_parameters.hpp"

#include <cstddef>
#include <functional>

namespace sorvin {

// The ten RAW development values of a parameter set: its global values, each at the catalogue's
// default when the set holds none. Masks play no part.
struct RawDevelopmentSettings {
    int raw_exposure = 0;
    int raw_temperature = 0;
    int raw_tint = 0;
    int raw_boost = 0;
    int raw_boost_shadow = 0;
    int raw_detail = 0;
    int raw_sharpness = 0;
    int raw_noise_color = 0;
    int raw_noise_luminance = 0;
    int raw_lens_correction = 0;

    // The settings of a set without RAW values.
    RawDevelopmentSettings() : RawDevelopmentSettings(PhotoParameters()) {}
    explicit RawDevelopmentSettings(const PhotoParameters& parameters);

    friend bool operator==(const RawDevelopmentSettings&, const RawDevelopmentSettings&) = default;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::RawDevelopmentSettings> {
    std::size_t operator()(const sorvin::RawDevelopmentSettings& s) const noexcept;
};
