#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorvin::Sha256 {

using Digest = std::array<std::uint8_t, 32>;

Digest digest(std::string_view bytes);
// Lower-case hexadecimal of the digest: 64 characters.
std::string hex(std::string_view bytes);

} // namespace sorvin::Sha256
