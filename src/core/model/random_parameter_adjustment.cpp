#include "model/random_parameter_adjustment.hpp"

namespace sorvin {

const std::array<RandomParameterAdjustment::Range, 35>& RandomParameterAdjustment::ranges() {
    using P = PhotoParameter;
    static const std::array<Range, 35> table{{
        {P::exposure, -25, 25},          {P::contrast, -60, 60},          {P::saturation, -60, 60},
        {P::highlights, -60, 60},        {P::shadows, -60, 60},           {P::white_level, -40, 40},
        {P::black_level, -40, 40},       {P::temperature, -70, 70},       {P::tint, -70, 70},
        {P::vibrance, -50, 50},          {P::curve_gamma, -40, 40},       {P::hue_red, -50, 50},
        {P::hue_orange, -50, 50},        {P::hue_yellow, -50, 50},        {P::hue_green, -50, 50},
        {P::hue_aqua, -50, 50},          {P::hue_blue, -50, 50},          {P::hue_purple, -50, 50},
        {P::hue_magenta, -50, 50},       {P::saturation_red, -40, 40},    {P::saturation_orange, -40, 40},
        {P::saturation_yellow, -40, 40}, {P::saturation_green, -40, 40},  {P::saturation_aqua, -40, 40},
        {P::saturation_blue, -40, 40},   {P::saturation_purple, -40, 40}, {P::saturation_magenta, -40, 40},
        {P::luminance_red, -30, 30},     {P::luminance_orange, -30, 30},  {P::luminance_yellow, -30, 30},
        {P::luminance_green, -30, 30},   {P::luminance_aqua, -30, 30},    {P::luminance_blue, -30, 30},
        {P::luminance_purple, -30, 30},  {P::luminance_magenta, -30, 30},
    }};
    return table;
}

PhotoParameters RandomParameterAdjustment::applying(const PhotoParameters& parameters,
                                                    RandomGenerator& generator) {
    PhotoParameters result = parameters;
    for (const Range& range : ranges()) {
        // The global setter clamps to the catalogue range and drops a default value.
        result.setValue(generator.uniform(range.lower, range.upper), range.parameter);
    }
    return result;
}

PhotoParameters originalPhotoParameters(const PhotoParameters& parameters) {
    PhotoParameters result = parameters;
    for (PhotoParameter p : ParameterCatalog::adjustmentParameters()) {
        const int defaultValue = ParameterCatalog::defaultValue(p);
        result.setValue(defaultValue, p);
        for (PhotoMask& mask : result.masks)
            mask.setValue(defaultValue, p);
    }
    return result;
}

} // namespace sorvin
