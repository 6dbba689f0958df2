#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// The small version feed the updater reads: a JSON object {"version": "1.4.0", "url": "…"} naming
// the newest release and where to get it.
struct UpdateFeed {
    std::string version;
    std::string url;

    // None for anything but an object with a version text of numbers and dots.
    static std::optional<UpdateFeed> parse(std::string_view json);
    // Compares dotted numbers part by part ("1.10" is newer than "1.9"; a missing part counts as
    // 0); anything after a hyphen ("0.0.0-dev") is ignored.
    static bool isNewer(std::string_view candidate, std::string_view current);
};

} // namespace sorvin
