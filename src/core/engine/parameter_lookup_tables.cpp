#include "engine/parameter_lookup_tables.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/point_tone_curve.hpp"
#include "model/photo_parameters.hpp"
#include "platform/hash_combine.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <mutex>
#include <unordered_map>

namespace sorvin {

ToneTableValues ToneTableValues::of(const PhotoParameters& parameters) {
    using P = PhotoParameter;
    ToneTableValues v;
    v.exposure = parameters[P::exposure];
    v.contrast = parameters[P::contrast];
    v.highlights = parameters[P::highlights];
    v.shadows = parameters[P::shadows];
    v.whiteLevel = parameters[P::white_level];
    v.blackLevel = parameters[P::black_level];
    v.temperature = parameters[P::temperature];
    v.tint = parameters[P::tint];
    v.curveGamma = parameters[P::curve_gamma];
    v.curveShadows = parameters[P::curve_shadows];
    v.curveDarks = parameters[P::curve_darks];
    v.curveLights = parameters[P::curve_lights];
    v.curveHighlights = parameters[P::curve_highlights];
    for (PointCurveChannel channel : {PointCurveChannel::rgb, PointCurveChannel::red,
                                      PointCurveChannel::green, PointCurveChannel::blue}) {
        v.curvePoints[static_cast<std::size_t>(channel)] = PointToneCurve::pointValues(parameters, channel);
    }
    return v;
}

bool ToneTableValues::usesPointCurves() const {
    return std::any_of(curvePoints.begin(), curvePoints.end(),
                       [](const auto& c) { return c != kDefaultCurve; });
}

bool ToneTableValues::usesToneRegions() const {
    return curveShadows != 0 || curveDarks != 0 || curveLights != 0 || curveHighlights != 0;
}

std::size_t ToneTableValuesHash::operator()(const ToneTableValues& v) const {
    std::size_t h = 0;
    const auto mix = [&h](int value) { hashCombine(h, value); };
    for (int value :
         {v.exposure, v.contrast, v.highlights, v.shadows, v.whiteLevel, v.blackLevel, v.temperature, v.tint,
          v.curveGamma, v.curveShadows, v.curveDarks, v.curveLights, v.curveHighlights}) {
        mix(value);
    }
    for (const auto& curve : v.curvePoints) {
        for (int value : curve)
            mix(value);
    }
    return h;
}

namespace {

// sRGB transfer in single precision. 1/2.4 is the float 0.41666666.
float decode(float x) {
    return x <= 0.04045f ? x / 12.92f : std::pow((x + 0.055f) / 1.055f, 2.4f);
}
float encode(float v) {
    return v <= 0.0031308f ? 12.92f * v : 1.055f * std::pow(v, 0.41666666f) - 0.055f;
}
float clamp01(float v) {
    return v <= 0 ? 0.0f : (v > 1 ? 1.0f : v);
}
double clamp01(double v) {
    return v <= 0 ? 0.0 : (v > 1 ? 1.0 : v);
}

// A raised-cosine bump 0.4 wide around a tone region's centre. Pi is taken rounded toward zero.
float bump(float y, float center) {
    const float distance = y - center;
    if (std::abs(distance) >= 0.2f) return 0;
    return (std::cos(distance * 3.1415925f / 0.2f) + 1.0f) * 0.5f;
}

// Constants of one value set, shared by the three channels.
struct ToneConstants {
    explicit ToneConstants(const ToneTableValues& v)
        : gain(std::exp2(0.05f * static_cast<float>(v.exposure))),
          shadowsStrength(0.006f * static_cast<float>(v.shadows)),
          highlightsStrength(0.006f * static_cast<float>(v.highlights)),
          blackPoint(-0.0012f * static_cast<float>(v.blackLevel)),
          whitePoint(1.0f - 0.0012f * static_cast<float>(v.whiteLevel)),
          contrast(0.006f * static_cast<float>(v.contrast)), usesGamma(v.curveGamma != 0),
          gammaExponent(1.0f / std::exp2(0.006f * static_cast<float>(v.curveGamma))),
          usesRegions(v.usesToneRegions()), shadowsRegion(static_cast<float>(v.curveShadows)),
          darksRegion(static_cast<float>(v.curveDarks)), lightsRegion(static_cast<float>(v.curveLights)),
          highlightsRegion(static_cast<float>(v.curveHighlights)), monotonize(v.usesToneCurve()) {}

    float gain;
    float shadowsStrength;
    float highlightsStrength;
    float blackPoint;
    float whitePoint;
    float contrast;
    bool usesGamma;
    float gammaExponent;
    bool usesRegions;
    float shadowsRegion;
    float darksRegion;
    float lightsRegion;
    float highlightsRegion;
    bool monotonize;
};

struct ChannelCurves {
    const PointToneCurve* master = nullptr;
    const PointToneCurve* channel = nullptr;
};

ByteTable makeTable(const ToneConstants& k, float multiplier, ChannelCurves curves) {
    ByteTable table{};
    for (int i = 0; i < 256; ++i) {
        const float x = static_cast<float>(i) / 255.0f;
        float lin = k.gain * (multiplier * decode(x));
        // The shadow and highlight weights are taken on the display value of the light so far,
        // limited to 1; the gain itself applies to the unlimited light.
        const float shadowWeight = 1.0f - encode(std::min(lin, 1.0f));
        lin = lin * std::exp2(k.shadowsStrength * (shadowWeight * shadowWeight * shadowWeight));
        const float highlightWeight = encode(std::min(lin, 1.0f));
        lin = lin * std::exp2(k.highlightsStrength * (highlightWeight * highlightWeight * highlightWeight));
        float e = encode(clamp01(lin));
        e = clamp01((e - k.blackPoint) / (k.whitePoint - k.blackPoint));
        e = e + k.contrast * (e * e * (3.0f - 2.0f * e) - e);
        if (k.usesGamma) e = std::pow(e, k.gammaExponent);
        if (k.usesRegions) {
            const float sum = ((k.shadowsRegion * bump(e, 0.2f) + k.darksRegion * bump(e, 0.4f)) +
                               k.lightsRegion * bump(e, 0.6f)) +
                              k.highlightsRegion * bump(e, 0.8f);
            e = clamp01(e + 0.00125f * sum);
        }
        if (curves.master && curves.channel) {
            const double c = (*curves.channel)((*curves.master)(static_cast<double>(e)));
            table[i] = roundedByte(255.0 * clamp01(c));
        } else {
            table[i] = roundedByte(255.0f * e);
        }
    }
    if (k.monotonize) PointToneCurve::monotonize(table);
    return table;
}

ParameterLookupTables buildTables(const ToneTableValues& values) {
    const ToneConstants constants(values);
    ParameterLookupTables tables;
    tables.multipliers = ParameterAdjustment::channelMultipliers(values.temperature, values.tint);
    if (values.usesPointCurves()) {
        const PointToneCurve master = PointToneCurve::fromValues(values.curvePoints[0]);
        const PointToneCurve red = PointToneCurve::fromValues(values.curvePoints[1]);
        const PointToneCurve green = PointToneCurve::fromValues(values.curvePoints[2]);
        const PointToneCurve blue = PointToneCurve::fromValues(values.curvePoints[3]);
        tables.red = makeTable(constants, tables.multipliers.red, {&master, &red});
        tables.green = makeTable(constants, tables.multipliers.green, {&master, &green});
        tables.blue = makeTable(constants, tables.multipliers.blue, {&master, &blue});
    } else {
        tables.red = makeTable(constants, tables.multipliers.red, {});
        tables.green = makeTable(constants, tables.multipliers.green, {});
        tables.blue = makeTable(constants, tables.multipliers.blue, {});
    }
    return tables;
}

// Every distinct tone setting seen is kept for the life of the process: an entry is three small
// tables, and a session of edits visits few settings.
struct TableCache {
    std::mutex lock;
    std::unordered_map<ToneTableValues, ParameterLookupTables, ToneTableValuesHash> entries;
};

TableCache& tableCache() {
    static TableCache cache;
    return cache;
}

} // namespace

ParameterChannelMultipliers ParameterAdjustment::channelMultipliers(int temperature, int tint) {
    const float t = static_cast<float>(std::clamp(temperature, -100, 100));
    const float n = static_cast<float>(std::clamp(tint, -100, 100));
    const float a = 0.006f * t;
    const float b = 0.003f * n;
    const float r = std::exp2(a + b);
    const float g = std::exp2(-0.006f * n);
    const float bl = std::exp2(b - a);
    // Keeps the Rec. 709 luminance of white at 1.
    const float luminance = (0.7152f * g + 0.2126f * r) + 0.0722f * bl;
    return {r / luminance, g / luminance, bl / luminance};
}

std::optional<ParameterLookupTables> ParameterAdjustment::lookupTables(const PhotoParameters& parameters) {
    return lookupTables(ToneTableValues::of(parameters));
}

std::optional<ParameterLookupTables> ParameterAdjustment::lookupTables(const ToneTableValues& values) {
    if (values.isNeutral()) return std::nullopt;
    TableCache& cache = tableCache();
    // Held for the whole lookup-or-build, so one setting is built once however many developments
    // ask for it at the same time.
    std::lock_guard guard(cache.lock);
    auto found = cache.entries.find(values);
    if (found == cache.entries.end()) found = cache.entries.emplace(values, buildTables(values)).first;
    return found->second;
}

const ByteTable& ParameterAdjustment::identityTable() {
    static const ByteTable table = [] {
        ByteTable t{};
        for (int i = 0; i < 256; ++i)
            t[i] = static_cast<std::uint8_t>(i);
        return t;
    }();
    return table;
}

} // namespace sorvin
