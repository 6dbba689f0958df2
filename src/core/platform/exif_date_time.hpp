#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace sorvin::ExifDateTime {

// An EXIF date-time text, "yyyy:MM:dd HH:mm:ss", read as a wall-clock time in the process's time
// zone. Anything else (other lengths, blanks, impossible dates such as 2024:02:30) gives nothing.
// Safe to call from many threads at once.
std::optional<std::chrono::system_clock::time_point> parse(std::string_view text);

} // namespace sorvin::ExifDateTime
