#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin::SelectionJSONValue {

using Json = nlohmann::json;

// The value as an Int only when the file wrote an integer: no fraction, no exponent, no Boolean,
// and within the signed 64-bit range. Used where a number written as 2.0 must not pass for 2.
std::optional<std::int64_t> exactInteger(const Json* value);

// Lenient member reads of record files: a missing member, or one of another JSON type, gives none
// and the caller drops that one value.
const Json* member(const Json& object, std::string_view key);
std::optional<std::string> string(const Json* value);
std::optional<bool> boolean(const Json* value);
std::optional<double> number(const Json* value);
// Any number with an integral value in the signed 64-bit range, 80.0 included.
std::optional<std::int64_t> integer(const Json* value);
// The value itself when it is an object.
const Json* object(const Json* value);
// An array whose every element is a string.
std::optional<std::vector<std::string>> stringArray(const Json* value);

} // namespace sorvin::SelectionJSONValue
