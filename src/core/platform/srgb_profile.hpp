#pragma once

#include <cstdint>
#include <string>

namespace sorvin::SrgbProfile {

// A date of an ICC profile's header, in UTC.
struct CreationDate {
    std::uint16_t year, month, day, hour, minute, second;
};

// The date our profile says it was made, whenever it is built.
inline constexpr CreationDate kCreationDate{2026, 1, 1, 0, 0, 0};

// The ICC profile of sRGB, the colour space of every bitmap of the program; written into every
// encoded image so that viewers show it as we do. Built once, always to the same bytes.
const std::string& iccBytes();

} // namespace sorvin::SrgbProfile
