#pragma once

#include <string>
#include <vector>

namespace sorvin {

struct ReleaseNote {
    std::string version;
    std::string date; // year-month-day
    std::vector<std::string> items;

    bool operator==(const ReleaseNote&) const = default;
    // "バージョン 1.0.0（2026-09-06）".
    std::string heading() const { return "バージョン " + version + "（" + date + "）"; }
};

// The release notes compiled into the program, in display order.
struct ReleaseNotesData {
    static const std::vector<ReleaseNote>& all();
};

} // namespace sorvin
