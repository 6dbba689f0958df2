#include "loading/prefetch_planner.hpp"

namespace sorvin {

std::vector<int> PrefetchPlanner::indices(int count, int current, std::optional<int> direction) {
    if (count < 1 || current < 0 || current >= count) return {};
    std::vector<int> planned{current};
    const auto add = [&](long long index) {
        if (index >= 0 && index < count) planned.push_back(static_cast<int>(index));
    };
    const int sign = direction.value_or(0) > 0 ? 1 : (direction.value_or(0) < 0 ? -1 : 0);
    if (sign == 0) {
        for (int k = 1; k <= kUndirectedReach; ++k) {
            add(static_cast<long long>(current) + k);
            add(static_cast<long long>(current) - k);
        }
        return planned;
    }
    for (int k = 1; k <= kAhead; ++k)
        add(static_cast<long long>(current) + sign * k);
    for (int k = 1; k <= kBehind; ++k)
        add(static_cast<long long>(current) - sign * k);
    return planned;
}

} // namespace sorvin
