#pragma once

#include "fuzz_support.hpp"
#include "fuzz_target.hpp"
#include "platform/image_properties.hpp"

namespace sorvin::fuzz {

// Properties the scan is given are those of a picture within the readers' caps.
inline void checkProperties(const std::optional<ImageProperties>& properties) {
    if (!properties) return;
    reached();
    require(properties->pixelWidth > 0 && properties->pixelHeight > 0, "an empty picture");
    require(std::int64_t{properties->pixelWidth} * properties->pixelHeight <= ImagePropertiesReader::maxPixelCount,
            "a picture beyond the pixel cap");
}

} // namespace sorvin::fuzz
