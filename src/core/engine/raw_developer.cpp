#include "engine/raw_developer.hpp"

#include "engine/raw_development_support_store.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

float amount(int value) {
    return static_cast<float>(value) / 100.0f;
}

// The slider position from which lens correction is on.
constexpr int kLensCorrectionOn = 50;

} // namespace

RawDevelopmentSupport RawDeveloper::support(const RawFilter& filter) {
    return {filter.isColorNoiseReductionSupported(),
            filter.isLuminanceNoiseReductionSupported(),
            filter.isSharpnessSupported(),
            filter.isContrastSupported(),
            filter.isDetailSupported(),
            filter.isLensCorrectionSupported()};
}

float RawDeveloper::scale(std::optional<int> maximumLongEdge, double nativeWidth, double nativeHeight) {
    if (!maximumLongEdge) return 1.0f;
    const double longSide = std::max(nativeWidth, nativeHeight);
    if (*maximumLongEdge < 1 || !(longSide > 0)) return 1.0f;
    return std::min(1.0f, static_cast<float>(*maximumLongEdge / longSide));
}

void RawDeveloper::steer(RawFilterProperties& properties, const RawDevelopmentSettings& settings,
                         const RawDevelopmentSupport& support, float asShotTemperature, float asShotTint,
                         int orientation, float scale) {
    properties.orientation = orientation;
    properties.scaleFactor = scale;
    properties.exposure = amount(settings.raw_exposure) * 2.0f;
    properties.neutralTemperature =
        asShotTemperature *
        static_cast<float>(std::pow(2.0, static_cast<double>(settings.raw_temperature) / 100.0));
    properties.neutralTint = asShotTint + static_cast<float>(settings.raw_tint) / 2.0f;
    properties.boostAmount = amount(settings.raw_boost);
    properties.boostShadowAmount = amount(settings.raw_boost_shadow);
    if (support.contrast) properties.contrastAmount = 0.0f;
    if (support.detail) properties.detailAmount = amount(settings.raw_detail);
    if (support.sharpness) properties.sharpnessAmount = amount(settings.raw_sharpness);
    if (support.colorNoiseReduction) properties.colorNoiseReductionAmount = amount(settings.raw_noise_color);
    if (support.luminanceNoiseReduction) {
        properties.luminanceNoiseReductionAmount = amount(settings.raw_noise_luminance);
    }
    if (support.lensCorrection)
        properties.lensCorrectionEnabled = settings.raw_lens_correction >= kLensCorrectionOn;
}

std::optional<RawDevelopmentResult> RawDeveloper::develop(const RawDevelopmentRequest& request) {
    const auto filter = RawFilter::make(request.asset.url, request.damagedData);
    if (!filter) return std::nullopt;
    const RawDevelopmentSupport fileSupport = support(*filter);
    if (request.supportStore) request.supportStore->record(request.photoIdentifier, fileSupport);

    const float asShotTemperature = filter->properties().neutralTemperature;
    const float asShotTint = filter->properties().neutralTint;
    const RawDevelopmentSettings settings(request.parameters);
    const auto native = filter->nativeSize();
    const float developScale = scale(request.maximumLongEdge, native.width, native.height);
    steer(filter->properties(), settings, fileSupport, asShotTemperature, asShotTint,
          request.asset.orientation, developScale);

    SharedImage image = filter->outputImage(request.isCancelled);
    if (!image) return std::nullopt;
    return RawDevelopmentResult{
        std::move(image),
        {fileSupport, {native.width, native.height}, developScale, asShotTemperature, asShotTint}};
}

} // namespace sorvin
