#include "persistence/selection_json_value.hpp"

#include <cmath>

namespace sorvin::SelectionJSONValue {

namespace {

// 2^63: the first double past the signed 64-bit range.
constexpr double kInt64End = 9223372036854775808.0;

std::optional<std::int64_t> integralDouble(double v) {
    if (!std::isfinite(v) || v != std::trunc(v) || v < -kInt64End || v >= kInt64End) return std::nullopt;
    return static_cast<std::int64_t>(v);
}

} // namespace

std::optional<std::int64_t> exactInteger(const Json* value) {
    if (!value) return std::nullopt;
    switch (value->type()) {
    case Json::value_t::number_integer:
        return value->get<std::int64_t>();
    case Json::value_t::number_unsigned:
        return integralDouble(static_cast<double>(value->get<std::uint64_t>()));
    default:
        return std::nullopt;
    }
}

const Json* member(const Json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> string(const Json* value) {
    if (!value || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<bool> boolean(const Json* value) {
    if (!value || !value->is_boolean()) return std::nullopt;
    return value->get<bool>();
}

std::optional<double> number(const Json* value) {
    if (!value || !value->is_number()) return std::nullopt;
    return value->get<double>();
}

std::optional<std::int64_t> integer(const Json* value) {
    if (!value || !value->is_number()) return std::nullopt;
    if (value->is_number_float()) return integralDouble(value->get<double>());
    return exactInteger(value);
}

const Json* object(const Json* value) {
    return value && value->is_object() ? value : nullptr;
}

std::optional<std::vector<std::string>> stringArray(const Json* value) {
    if (!value || !value->is_array()) return std::nullopt;
    std::vector<std::string> texts;
    texts.reserve(value->size());
    for (const auto& element : *value) {
        if (!element.is_string()) return std::nullopt;
        texts.push_back(element.get<std::string>());
    }
    return texts;
}

} // namespace sorvin::SelectionJSONValue
