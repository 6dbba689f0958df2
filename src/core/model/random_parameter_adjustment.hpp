#pragma once

#include "model/photo_parameter.hpp"
#include "model/photo_parameters.hpp"
#include "platform/random_generator.hpp"

#include <array>

namespace sorvin {

// Random development: new values for the basic and colour parameters, each drawn from a range
// narrow enough to stay a plausible photo.
struct RandomParameterAdjustment {
    struct Range {
        PhotoParameter parameter;
        int lower;
        int upper;
    };
    static const std::array<Range, 35>& ranges();

    // The set with each parameter of ranges() drawn anew; masks and every other value unchanged.
    static PhotoParameters applying(const PhotoParameters& parameters, RandomGenerator& generator);
};

// What the unedited photo is rendered with: every adjustment value, global and in each mask, back
// at its default, while RAW development, lens geometry and the masks' shapes stay.
PhotoParameters originalPhotoParameters(const PhotoParameters& parameters);

} // namespace sorvin
