#pragma once

#include <cstddef>
#include <functional>

namespace sorvin {

// Folds the hash of one more field into a running hash, for value types whose hash covers
// several fields (boost's mixing step, widened to 64 bits).
template <typename T>
void hashCombine(std::size_t& seed, const T& value) {
    seed ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

} // namespace sorvin
