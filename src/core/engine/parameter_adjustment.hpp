#pragma once

#include "engine/parameter_lookup_tables.hpp"

#include <optional>

namespace sorvin {

// The CPU development of one bitmap with one parameter set.
struct ParameterAdjustment {
    // Tone tables for these values, from the process-wide cache; none when every tone value is at its
    // default (then no tone stage is needed).
    static std::optional<ParameterLookupTables> lookupTables(const ToneTableValues& values);

    // White balance: positive temperature warms, positive tint turns magenta.
    static ParameterChannelMultipliers channelMultipliers(int temperature, int tint);

    // The bytes 0, 1, ..., 255.
    static const ByteTable& identityTable();
};

} // namespace sorvin
