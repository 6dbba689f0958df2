#include "model/photo_rotation.hpp"
#include "persistence/selection_json_value.hpp"
#include "persistence/selection_rotation.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace sorvin {
namespace {

using Json = SelectionJSONValue::Json;

std::optional<std::int64_t> exact(const char* text) {
    const Json value = Json::parse(text);
    return SelectionJSONValue::exactInteger(&value);
}

TEST(SelectionJSONValue, ExactIntegerOnlyForIntegersAsWritten) {
    EXPECT_EQ(exact("2"), 2);
    EXPECT_EQ(exact("-7"), -7);
    EXPECT_EQ(exact("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(exact("18446744073709551615"), std::nullopt);
    for (const char* refused : {"2.0", "1e2", "true", "false", "\"2\"", "null", "[2]", "{}"})
        EXPECT_EQ(exact(refused), std::nullopt) << refused;
    EXPECT_EQ(SelectionJSONValue::exactInteger(nullptr), std::nullopt);
}

TEST(SelectionJSONValue, MemberReadsFailOnMissingOrOtherTypes) {
    const Json object = Json::parse(R"({"s": "x", "b": true, "n": 12.5, "i": 80.0, "big": 1e300,
        "a": ["p", "q"], "mixed": ["p", 1], "o": {}})");
    using namespace SelectionJSONValue;
    EXPECT_EQ(string(member(object, "s")), "x");
    EXPECT_EQ(string(member(object, "b")), std::nullopt);
    EXPECT_EQ(boolean(member(object, "b")), true);
    EXPECT_EQ(boolean(member(object, "i")), std::nullopt);
    EXPECT_EQ(number(member(object, "n")), 12.5);
    EXPECT_EQ(number(member(object, "s")), std::nullopt);
    EXPECT_EQ(integer(member(object, "i")), 80);
    EXPECT_EQ(integer(member(object, "n")), std::nullopt);
    EXPECT_EQ(integer(member(object, "big")), std::nullopt);
    EXPECT_EQ(stringArray(member(object, "a")), (std::vector<std::string>{"p", "q"}));
    EXPECT_EQ(stringArray(member(object, "mixed")), std::nullopt);
    EXPECT_NE(SelectionJSONValue::object(member(object, "o")), nullptr);
    EXPECT_EQ(SelectionJSONValue::object(member(object, "a")), nullptr);
    EXPECT_EQ(member(object, "missing"), nullptr);
    EXPECT_EQ(member(Json::parse("[1]"), "s"), nullptr);
}

TEST(SelectionRotation, HalfDegreeGridWithinRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double given;
        std::optional<double> stored;
    };
    const Row rows[] = {
        {0.2, std::nullopt},    {-0.2, std::nullopt}, {0.3, 0.5},          {-0.3, -0.5},
        {-0.25, -0.5},          {0.25, 0.5},          {10.26, 10.5},       {179.5, 179.5},
        {179.6, std::nullopt},  {180, std::nullopt},  {200, std::nullopt}, {-180, -180.0},
        {-180.1, std::nullopt}, {nan, std::nullopt},  {inf, std::nullopt}, {-inf, std::nullopt}};
    for (const Row& row : rows)
        EXPECT_EQ(PhotoRotation::stored(row.given), row.stored) << row.given;
}

TEST(SelectionRotation, TextHasOneDecimal) {
    EXPECT_EQ(SelectionRotation::text(90), "90.0");
    EXPECT_EQ(SelectionRotation::text(-0.5), "-0.5");
    EXPECT_EQ(SelectionRotation::text(179.5), "179.5");
    EXPECT_EQ(SelectionRotation::text(-180), "-180.0");
}

} // namespace
} // namespace sorvin
