#pragma once

#include <concepts>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace sorvin {

// One preference value. The kind it was stored with is kept: a Boolean is never a number, and an
// integer stays apart from a floating-point number even when the latter is integral, because the
// readers of the preferences treat those differently.
class DefaultsValue {
public:
    using List = std::vector<DefaultsValue>;
    using Dictionary = std::map<std::string, DefaultsValue, std::less<>>;

    DefaultsValue(bool value) : value_(value) {}
    template <std::integral T>
    requires(!std::same_as<T, bool>) DefaultsValue(T value) : value_(integerOrDouble(value)) {}
    DefaultsValue(double value) : value_(value) {}
    DefaultsValue(float value) : value_(static_cast<double>(value)) {}
    DefaultsValue(std::string value) : value_(std::move(value)) {}
    DefaultsValue(const char* value) : value_(std::string(value)) {}
    DefaultsValue(List value) : value_(std::move(value)) {}
    DefaultsValue(Dictionary value) : value_(std::move(value)) {}

    // Each accessor gives the value only when it was stored with that kind.
    const bool* boolean() const { return std::get_if<bool>(&value_); }
    const std::int64_t* integer() const { return std::get_if<std::int64_t>(&value_); }
    const double* floating() const { return std::get_if<double>(&value_); }
    const std::string* text() const { return std::get_if<std::string>(&value_); }
    const List* list() const { return std::get_if<List>(&value_); }
    const Dictionary* dictionary() const { return std::get_if<Dictionary>(&value_); }

    // An integer or floating-point number (never a Boolean) as a double.
    std::optional<double> number() const;
    // A list made only of texts; none for anything else.
    std::optional<std::vector<std::string>> textList() const;

    bool operator==(const DefaultsValue&) const = default;

private:
    using Storage = std::variant<bool, std::int64_t, double, std::string, List, Dictionary>;

    template <std::integral T>
    static Storage integerOrDouble(T value) {
        if constexpr (std::unsigned_integral<T> && sizeof(T) >= sizeof(std::int64_t)) {
            if (value > static_cast<std::uint64_t>(INT64_MAX)) return static_cast<double>(value);
        }
        return static_cast<std::int64_t>(value);
    }

    Storage value_;
};

} // namespace sorvin
