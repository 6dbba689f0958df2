#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace sorvin {

class PhotoParameters;

using ByteTable = std::array<std::uint8_t, 256>;

// White-balance factors of the three channels.
struct ParameterChannelMultipliers {
    float red = 1;
    float green = 1;
    float blue = 1;

    bool operator==(const ParameterChannelMultipliers&) const = default;
};

// All tone work of a development folded into one byte table per channel: entry i is the output byte
// for input byte i.
struct ParameterLookupTables {
    ByteTable red{};
    ByteTable green{};
    ByteTable blue{};
    ParameterChannelMultipliers multipliers;

    bool operator==(const ParameterLookupTables&) const = default;
};

// The values the tone tables depend on, and nothing else: the key of the table cache, so that edits
// of any other value reuse the tables.
struct ToneTableValues {
    int exposure = 0;
    int contrast = 0;
    int highlights = 0;
    int shadows = 0;
    int whiteLevel = 0;
    int blackLevel = 0;
    int temperature = 0;
    int tint = 0;
    int curveGamma = 0;
    int curveShadows = 0;
    int curveDarks = 0;
    int curveLights = 0;
    int curveHighlights = 0;
    // Master, red, green, blue; five control points each.
    std::array<std::array<int, 5>, 4> curvePoints{kDefaultCurve, kDefaultCurve, kDefaultCurve, kDefaultCurve};

    static constexpr std::array<int, 5> kDefaultCurve{0, 25, 50, 75, 100};

    // The tone values of a flat value set (absent values are the defaults).
    static ToneTableValues of(const PhotoParameters& parameters);

    bool isNeutral() const { return *this == ToneTableValues{}; }
    bool usesPointCurves() const;
    bool usesToneRegions() const;
    // Tone regions or point curves: either can bend the curve backwards, so the tables are monotonised.
    bool usesToneCurve() const { return usesToneRegions() || usesPointCurves(); }

    bool operator==(const ToneTableValues&) const = default;
};

struct ToneTableValuesHash {
    std::size_t operator()(const ToneTableValues& values) const;
};

} // namespace sorvin
