#include "engine/raw_development_settings.hpp"

#include "platform/hash_combine.hpp"

namespace sorvin {

RawDevelopmentSettings::RawDevelopmentSettings(const PhotoParameters& parameters)
    : raw_exposure(parameters[PhotoParameter::raw_exposure]),
      raw_temperature(parameters[PhotoParameter::raw_temperature]),
      raw_tint(parameters[PhotoParameter::raw_tint]), raw_boost(parameters[PhotoParameter::raw_boost]),
      raw_boost_shadow(parameters[PhotoParameter::raw_boost_shadow]),
      raw_detail(parameters[PhotoParameter::raw_detail]),
      raw_sharpness(parameters[PhotoParameter::raw_sharpness]),
      raw_noise_color(parameters[PhotoParameter::raw_noise_color]),
      raw_noise_luminance(parameters[PhotoParameter::raw_noise_luminance]),
      raw_lens_correction(parameters[PhotoParameter::raw_lens_correction]) {}

} // namespace sorvin

std::size_t std::hash<sorvin::RawDevelopmentSettings>::operator()(
    const sorvin::RawDevelopmentSettings& s) const noexcept {
    std::size_t seed = 0;
    for (int v :
         {s.raw_exposure, s.raw_temperature, s.raw_tint, s.raw_boost, s.raw_boost_shadow, s.raw_detail,
          s.raw_sharpness, s.raw_noise_color, s.raw_noise_luminance, s.raw_lens_correction}) {
        sorvin::hashCombine(seed, v);
    }
    return seed;
}
