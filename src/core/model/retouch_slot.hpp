#pragma once

#include <optional>
#include <string_view>

namespace sorvin {

// Which of a photo's two developments is meant: `a` its own, `b` its copy B.
enum class RetouchSlot { a, b };

// Stored as "a" and "b".
constexpr std::string_view rawValue(RetouchSlot slot) {
    return slot == RetouchSlot::b ? "b" : "a";
}

constexpr std::optional<RetouchSlot> retouchSlotFromRawValue(std::string_view text) {
    if (text == "a") return RetouchSlot::a;
    if (text == "b") return RetouchSlot::b;
    return std::nullopt;
}

} // namespace sorvin
