#pragma once

#include <cstdint>
#include <initializer_list>

namespace sorvin {

// The modifier keys of one key press (Ctrl plays the command role, Alt the option role and Meta
// the control role). Commands compare the exact set.
class AdjustmentKeyModifiers {
public:
    enum Member : std::uint8_t { shift = 1, command = 2, option = 4, control = 8 };

    constexpr AdjustmentKeyModifiers() = default;
    constexpr explicit AdjustmentKeyModifiers(std::uint8_t rawValue) : raw_(rawValue) {}
    constexpr AdjustmentKeyModifiers(std::initializer_list<Member> members) {
        for (Member m : members)
            raw_ |= m;
    }

    constexpr std::uint8_t rawValue() const { return raw_; }
    constexpr bool isEmpty() const { return raw_ == 0; }
    constexpr bool contains(Member m) const { return (raw_ & m) == m; }
    constexpr bool isSubset(AdjustmentKeyModifiers other) const { return (raw_ & ~other.raw_) == 0; }
    constexpr bool isDisjoint(AdjustmentKeyModifiers other) const { return (raw_ & other.raw_) == 0; }
    constexpr void insert(Member m) { raw_ |= m; }
    constexpr void remove(Member m) { raw_ &= static_cast<std::uint8_t>(~m); }

    constexpr AdjustmentKeyModifiers operator|(AdjustmentKeyModifiers o) const {
        return AdjustmentKeyModifiers(static_cast<std::uint8_t>(raw_ | o.raw_));
    }
    constexpr AdjustmentKeyModifiers operator&(AdjustmentKeyModifiers o) const {
        return AdjustmentKeyModifiers(static_cast<std::uint8_t>(raw_ & o.raw_));
    }
    constexpr AdjustmentKeyModifiers operator^(AdjustmentKeyModifiers o) const {
        return AdjustmentKeyModifiers(static_cast<std::uint8_t>(raw_ ^ o.raw_));
    }
    constexpr AdjustmentKeyModifiers subtracting(AdjustmentKeyModifiers o) const {
        return AdjustmentKeyModifiers(static_cast<std::uint8_t>(raw_ & ~o.raw_));
    }

    friend constexpr bool operator==(AdjustmentKeyModifiers, AdjustmentKeyModifiers) = default;

private:
    std::uint8_t raw_ = 0;
};

} // namespace sorvin
