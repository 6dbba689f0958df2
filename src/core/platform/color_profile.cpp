#include "platform/color_profile.hpp"

#include <cmath>
#include <lcms2.h>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace sorvin {

namespace {

// Profiles larger than this are not read (a real one is at most a few hundred kilobytes).
constexpr std::size_t kMaxProfileBytes = 4u << 20;
constexpr std::size_t kCacheEntries = 8;

struct ProfileHandle {
    cmsHPROFILE profile;
    explicit ProfileHandle(cmsHPROFILE p) : profile(p) {}
    ~ProfileHandle() {
        if (profile) cmsCloseProfile(profile);
    }
    ProfileHandle(const ProfileHandle&) = delete;
    ProfileHandle& operator=(const ProfileHandle&) = delete;
};

bool sameXyz(const cmsCIEXYZ* a, const cmsCIEXYZ* b) {
    constexpr double tolerance = 0.002;
    return a && b && std::abs(a->X - b->X) < tolerance && std::abs(a->Y - b->Y) < tolerance &&
           std::abs(a->Z - b->Z) < tolerance;
}

bool sameCurve(const cmsToneCurve* a, const cmsToneCurve* b) {
    if (!a || !b) return false;
    for (int i = 0; i <= 16; ++i) {
        const float x = static_cast<float>(i) / 16.0f;
        if (std::abs(cmsEvalToneCurveFloat(a, x) - cmsEvalToneCurveFloat(b, x)) > 1.0f / 512.0f) return false;
    }
    return true;
}

bool hasSrgbColorants(cmsHPROFILE profile) {
    static const ProfileHandle srgb(cmsCreate_sRGBProfile());
    if (!srgb.profile || cmsGetColorSpace(profile) != cmsSigRgbData) return false;
    const cmsTagSignature colorants[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    const cmsTagSignature curves[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (int i = 0; i < 3; ++i) {
        if (!sameXyz(static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorants[i])),
                     static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb.profile, colorants[i]))))
            return false;
        if (!sameCurve(static_cast<const cmsToneCurve*>(cmsReadTag(profile, curves[i])),
                       static_cast<const cmsToneCurve*>(cmsReadTag(srgb.profile, curves[i]))))
            return false;
    }
    return true;
}

cmsUInt32Number lcmsFormat(ColorInput input) {
    switch (input) {
    case ColorInput::rgba:
        return TYPE_RGBA_8;
    case ColorInput::cmyk:
        return TYPE_CMYK_8;
    case ColorInput::invertedCmyk:
        return TYPE_CMYK_8_REV;
    }
    return TYPE_RGBA_8;
}

// A small most-recently-used list of conversions keyed by profile bytes and input layout.
class TransformCache {
public:
    std::shared_ptr<const ColorProfile> find(const std::string& key) {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->first == key) {
                entries_.splice(entries_.begin(), entries_, it);
                return it->second;
            }
        }
        return nullptr;
    }
    void insert(std::string key, std::shared_ptr<const ColorProfile> value) {
        std::lock_guard lock(mutex_);
        entries_.emplace_front(std::move(key), std::move(value));
        if (entries_.size() > kCacheEntries) entries_.pop_back();
    }

private:
    std::mutex mutex_;
    std::list<std::pair<std::string, std::shared_ptr<const ColorProfile>>> entries_;
};

TransformCache& cache() {
    static TransformCache instance;
    return instance;
}

} // namespace

ColorProfile::~ColorProfile() {
    if (transform_) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(transform_));
}

bool ColorProfile::isSrgb(std::span<const std::uint8_t> icc) {
    if (icc.empty() || icc.size() > kMaxProfileBytes) return false;
    const ProfileHandle profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
    return profile.profile && hasSrgbColorants(profile.profile);
}

std::shared_ptr<const ColorProfile> ColorProfile::toSrgb(std::span<const std::uint8_t> icc,
                                                         ColorInput input) {
    const bool isCmyk = input != ColorInput::rgba;
    const bool usableSize = !icc.empty() && icc.size() <= kMaxProfileBytes;
    if (!usableSize && !isCmyk) return nullptr;

    std::string key(1, static_cast<char>(input));
    if (usableSize) key.append(reinterpret_cast<const char*>(icc.data()), icc.size());
    if (auto cached = cache().find(key)) return cached;

    std::shared_ptr<const ColorProfile> made;
    const ProfileHandle profile(
        usableSize ? cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())) : nullptr);
    const cmsColorSpaceSignature wanted = isCmyk ? cmsSigCmykData : cmsSigRgbData;
    if (profile.profile && cmsGetColorSpace(profile.profile) == wanted &&
        !hasSrgbColorants(profile.profile)) {
        const ProfileHandle srgb(cmsCreate_sRGBProfile());
        cmsUInt32Number flags = cmsFLAGS_NOCACHE;
        if (!isCmyk) flags |= cmsFLAGS_COPY_ALPHA;
        cmsHTRANSFORM transform = cmsCreateTransform(profile.profile, lcmsFormat(input), srgb.profile,
                                                     TYPE_RGBA_8, INTENT_PERCEPTUAL, flags);
        if (transform) made.reset(new ColorProfile(transform, input));
    }
    if (!made && isCmyk) made.reset(new ColorProfile(nullptr, input));
    if (made) cache().insert(std::move(key), made);
    return made;
}

std::shared_ptr<const ColorProfile> ColorProfile::toSrgbFromPrimaries(const double p[8]) {
    constexpr double srgb[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
    bool isSrgbPrimaries = true;
    for (int i = 0; i < 8; ++i) {
        if (!std::isfinite(p[i]) || p[i] <= 0 || p[i] >= 1) return nullptr;
        isSrgbPrimaries = isSrgbPrimaries && std::abs(p[i] - srgb[i]) < 0.002;
    }
    if (isSrgbPrimaries) return nullptr;

    std::string key(1, 'p');
    key.append(reinterpret_cast<const char*>(p), sizeof(double) * 8);
    if (auto cached = cache().find(key)) return cached;

    const cmsCIExyY white{p[6], p[7], 1.0};
    const cmsCIExyYTRIPLE primaries{{p[0], p[1], 1.0}, {p[2], p[3], 1.0}, {p[4], p[5], 1.0}};
    // The sRGB tone curve: IEC 61966-2-1 as a parametric curve of type 4.
    const cmsFloat64Number parameters[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
    cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, parameters);
    if (!curve) return nullptr;
    cmsToneCurve* curves[3] = {curve, curve, curve};
    const ProfileHandle profile(cmsCreateRGBProfile(&white, &primaries, curves));
    cmsFreeToneCurve(curve);
    if (!profile.profile) return nullptr;
    const ProfileHandle srgbProfile(cmsCreate_sRGBProfile());
    cmsHTRANSFORM transform =
        cmsCreateTransform(profile.profile, TYPE_RGBA_8, srgbProfile.profile, TYPE_RGBA_8, INTENT_PERCEPTUAL,
                           cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA);
    if (!transform) return nullptr;
    std::shared_ptr<const ColorProfile> made(new ColorProfile(transform, ColorInput::rgba));
    cache().insert(std::move(key), made);
    return made;
}

void ColorProfile::convert(const std::uint8_t* input, std::uint8_t* rgba, std::size_t count) const {
    if (transform_) {
        // LittleCMS takes the count as 32 bits; a row never comes close, but keep it safe.
        while (count > 0) {
            const std::size_t chunk = std::min<std::size_t>(count, 1u << 24);
            cmsDoTransform(static_cast<cmsHTRANSFORM>(transform_), input, rgba,
                           static_cast<cmsUInt32Number>(chunk));
            if (input_ == ColorInput::rgba) {
                // Alpha was copied by the transform.
            } else {
                for (std::size_t i = 0; i < chunk; ++i)
                    rgba[4 * i + 3] = 255;
            }
            input += 4 * chunk;
            rgba += 4 * chunk;
            count -= chunk;
        }
        return;
    }
    // No profile: the ink formula, each channel the light left by its ink and the black ink.
    const bool inverted = input_ == ColorInput::invertedCmyk;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = input + 4 * i;
        const unsigned c = inverted ? p[0] : 255u - p[0];
        const unsigned m = inverted ? p[1] : 255u - p[1];
        const unsigned y = inverted ? p[2] : 255u - p[2];
        const unsigned k = inverted ? p[3] : 255u - p[3];
        std::uint8_t* out = rgba + 4 * i;
        out[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
        out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        out[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
        out[3] = 255;
    }
}

} // namespace sorvin
