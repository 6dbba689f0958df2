#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// The aspect of a crop: a width:height ratio, or the image's own aspect. A ratio is kept as
// given, not reduced: 4:2 and 2:1 are different aspects that give the same rectangle.
struct CropAspect {
    static constexpr int kMinimumPart = 1;
    static constexpr int kMaximumPart = 99;

    enum class Kind { original, ratio };

    Kind kind = Kind::original;
    int width = 0; // the ratio's parts; 0 for the original aspect
    int height = 0;

    static constexpr CropAspect original() { return {}; }
    static constexpr CropAspect ratio(int width, int height) { return {Kind::ratio, width, height}; }

    constexpr bool isOriginal() const { return kind == Kind::original; }
    constexpr bool isRatio() const { return !isOriginal(); }
    // A ratio with both parts in 1 ... 99, or the original aspect.
    constexpr bool isValid() const {
        return isOriginal() || (width >= kMinimumPart && width <= kMaximumPart && height >= kMinimumPart &&
                                height <= kMaximumPart);
    }
    // The aspect a crop is fitted and edited with: a ratio with a part out of range counts as
    // the original aspect.
    constexpr CropAspect corrected() const { return isValid() ? *this : original(); }

    bool operator==(const CropAspect&) const = default;

    // "original", or "W:H" in plain decimals ("3:2", "16:9", "4:2").
    std::string storageText() const;
    // Reads only what storageText writes for a valid aspect; anything else gives none.
    static std::optional<CropAspect> fromStorageText(std::string_view text);
    // "元のまま" for the original aspect, the storage text for a ratio.
    std::string displayText() const;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::CropAspect> {
    std::size_t operator()(const sorvin::CropAspect& aspect) const noexcept {
        if (aspect.isOriginal()) return 0x5bd1e995u;
        return std::hash<unsigned long long>{}(
            (static_cast<unsigned long long>(static_cast<unsigned>(aspect.width)) << 32) |
            static_cast<unsigned>(aspect.height));
    }
};
