#pragma once

#include <cstddef>
#include <functional>
#include <optional>

namespace sorvin {

// Where parameter edits go: the global values or the mask at a 0-based position.
class ParameterEditTarget {
public:
    constexpr ParameterEditTarget() = default;
    static constexpr ParameterEditTarget global() { return ParameterEditTarget(); }
    static constexpr ParameterEditTarget mask(int index) { return ParameterEditTarget(index); }

    constexpr bool isGlobal() const { return !maskIndex_.has_value(); }
    constexpr std::optional<int> maskIndex() const { return maskIndex_; }

    friend constexpr bool operator==(const ParameterEditTarget&, const ParameterEditTarget&) = default;

private:
    constexpr explicit ParameterEditTarget(int index) : maskIndex_(index) {}
    std::optional<int> maskIndex_;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::ParameterEditTarget> {
    std::size_t operator()(const sorvin::ParameterEditTarget& target) const noexcept {
        return target.isGlobal() ? ~std::size_t{0} : static_cast<std::size_t>(*target.maskIndex());
    }
};
