#pragma once

#include "model/retouch_slot.hpp"
#include "platform/hash_combine.hpp"

#include <string>

namespace sorvin {

// A position in the library: a photo's relative path and one of its developments.
struct RetouchCursor {
    std::string path;
    RetouchSlot slot = RetouchSlot::a;

    bool operator==(const RetouchCursor&) const = default;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::RetouchCursor> {
    std::size_t operator()(const sorvin::RetouchCursor& cursor) const noexcept {
        std::size_t seed = std::hash<std::string>{}(cursor.path);
        sorvin::hashCombine(seed, sorvin::rawValue(cursor.slot));
        return seed;
    }
};
