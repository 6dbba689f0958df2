#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The rules for a preset's name.
namespace sorvin::ParameterPresetName {

// Characters (grapheme clusters), after normalising.
inline constexpr std::size_t maxLength = 30;

// Each character holding a line break or a tab becomes one space; then white space and line breaks
// are trimmed from both ends. Runs of spaces inside are kept.
std::string normalized(std::string_view raw);

// The normalised name when it is 1 to 30 characters long; none otherwise.
std::optional<std::string> validated(std::string_view raw);

} // namespace sorvin::ParameterPresetName
