#pragma once

#include "model/raw_development_support.hpp"
#include "platform/image.hpp"

namespace sorvin {

struct RawDevelopmentMetadata {
    struct Size {
        double width = 0;
        double height = 0;
        friend bool operator==(const Size&, const Size&) = default;
    };
    RawDevelopmentSupport support;
    Size nativeSize;                     // the file's full developed size, before orientation
    float scaleFactor = 1;               // the scale that was asked for
    float initialNeutralTemperature = 0; // Kelvin, as shot
    float initialNeutralTint = 0;        // as shot

    friend bool operator==(const RawDevelopmentMetadata&, const RawDevelopmentMetadata&) = default;
};

// A developed RAW file: an upright 8-bit sRGB picture and what the development found.
struct RawDevelopmentResult {
    SharedImage image;
    RawDevelopmentMetadata metadata;
};

} // namespace sorvin
