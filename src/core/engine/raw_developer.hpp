#pragma once

#include "engine/raw_development_request.hpp"
#include "engine/raw_development_result.hpp"
#include "engine/raw_development_settings.hpp"
#include "platform/raw_filter.hpp"

#include <optional>

namespace sorvin {

// Develops RAW files through the RAW filter, steered by the RAW values of a parameter set.
struct RawDeveloper {
    // None when the file cannot be read or developed. Records the file's support in the request's
    // store first, so it is known even when the development then fails.
    static std::optional<RawDevelopmentResult> develop(const RawDevelopmentRequest& request);

    // 1 unless a long edge of at least 1 pixel is asked for; never above 1.
    static float scale(std::optional<int> maximumLongEdge, double nativeWidth, double nativeHeight);

    // Sets the filter's properties from the settings, in this order: orientation, scale,
    // exposure, white balance relative to the as-shot light, boost, then each optional control
    // only when the file supports it.
    static void steer(RawFilterProperties& properties, const RawDevelopmentSettings& settings,
                      const RawDevelopmentSupport& support, float asShotTemperature, float asShotTint,
                      int orientation, float scale);

    static RawDevelopmentSupport support(const RawFilter& filter);
};

} // namespace sorvin
