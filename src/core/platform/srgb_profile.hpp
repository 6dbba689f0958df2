#pragma once

#include <string>

namespace sorvin::SrgbProfile {

// The ICC profile of sRGB, the colour space of every bitmap of the program; written into every
// encoded image so that viewers show it as we do. Built once.
const std::string& iccBytes();

} // namespace sorvin::SrgbProfile
