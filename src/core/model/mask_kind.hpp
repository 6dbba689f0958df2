#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace sorvin {

// A parameter set holds at most this many masks.
inline constexpr std::size_t maximumMaskCount = 4;

// The kind of a mask, by its stored name. Kinds the catalogue does not know can still be held
// (a record written by a newer version); every operation then treats the mask as undefined.
struct MaskKind {
    std::string rawValue;

    static MaskKind circular() { return MaskKind{"circular"}; }
    static MaskKind linear() { return MaskKind{"linear"}; }

    friend bool operator==(const MaskKind&, const MaskKind&) = default;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::MaskKind> {
    std::size_t operator()(const sorvin::MaskKind& kind) const noexcept {
        return std::hash<std::string>{}(kind.rawValue);
    }
};
