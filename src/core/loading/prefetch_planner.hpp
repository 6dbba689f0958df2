#pragma once

#include <optional>
#include <vector>

namespace sorvin {

// Which rows' display images to decode ahead, most important first: the current row, then the
// rows the user is heading for.
struct PrefetchPlanner {
    static constexpr int kUndirectedReach = 4; // rows on each side when there was no move
    static constexpr int kAhead = 6;           // rows in the direction of the last move
    static constexpr int kBehind = 2;          // rows against it

    // Never an index outside 0 ..< count, never one twice; empty for a current row outside the
    // rows. A direction's sign counts: negative backwards, positive forwards, 0 or none no move.
    static std::vector<int> indices(int count, int current, std::optional<int> direction);
};

} // namespace sorvin
