#include "view/adjustment_input.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace sorvin {
namespace {

TEST(AdjustmentInputTest, RotationReadsHalfDegreesWithinRange) {
    struct Row {
        std::string text;
        double expected;
    };
    const Row rows[] = {
        {"  12.26 ", 12.5}, {"-181", -180},  {"179.9", 179.5}, {"-179.8", -180}, {"-180", -180}, {"0.24", 0},
        {"0.25", 0.5},      {"-0.25", -0.5}, {"+3", 3},        {"1e1", 10},      {"abc", 7},     {"", 7},
        {"inf", 7},         {"nan", 7},      {"1.5°", 7},      {"1,5", 7},       {"1e999", 7},
    };
    for (const Row& row : rows)
        EXPECT_EQ(AdjustmentInput::rotation(row.text, 7), row.expected) << row.text;
}

TEST(AdjustmentInputTest, RotationTextSignsOnlyPositiveAngles) {
    EXPECT_EQ(AdjustmentInput::rotationText(0), "0.0");
    EXPECT_EQ(AdjustmentInput::rotationText(90), "+90.0");
    EXPECT_EQ(AdjustmentInput::rotationText(2.5), "+2.5");
    EXPECT_EQ(AdjustmentInput::rotationText(-0.5), "-0.5");
    EXPECT_EQ(AdjustmentInput::rotationText(-3), "-3.0");
    EXPECT_EQ(AdjustmentInput::rotationText(-0.0), "0.0");
    EXPECT_EQ(AdjustmentInput::rotationText(-0.04), "0.0");
    EXPECT_FALSE(std::signbit(AdjustmentInput::rotation("-0.2", 5)));
}

TEST(AdjustmentInputTest, IntegerAcceptsOnlySignedDigits) {
    struct Row {
        std::string text;
        int expected;
    };
    const Row rows[] = {
        {"+7", 7},
        {" 42\n", 42},
        {"0", 1},
        {"250", 99},
        {"-3", 1},
        {"+", 5},
        {"-", 5},
        {"12.5", 5},
        {"1,000", 5},
        {"", 5},
        {"+-2", 5},
        {"٣", 5},
        {"99999999999999999999", 5},
        {"9223372036854775807", 99},
        {"-9223372036854775808", 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(AdjustmentInput::integer(row.text, 5, 1, 99), row.expected) << row.text;
    // The fallback comes back as given, even outside the range.
    EXPECT_EQ(AdjustmentInput::integer("x", 500, 1, 99), 500);
}

TEST(AdjustmentInputTest, BrightnessReadsExposureInEV) {
    struct Row {
        std::string text;
        int expected;
    };
    const Row rows[] = {
        {"+0.35 EV", 7}, {"±0.00 EV", 0}, {"-6", -100}, {"0.025", 1}, {"-0.025", -1}, {"1ev", 20},
        {" 2 Ev ", 40},  {"EV", 3},       {"", 3},      {"5.1", 100}, {"x EV", 3},
    };
    for (const Row& row : rows)
        EXPECT_EQ(AdjustmentInput::brightness(row.text, 3), row.expected) << row.text;
}

TEST(AdjustmentInputTest, ParameterReadsTheTextItIsShownWith) {
    struct Row {
        std::string text;
        PhotoParameter parameter;
        int expected;
    };
    const Row rows[] = {
        {"±0", PhotoParameter::contrast, 0},
        {"± 5", PhotoParameter::contrast, 12},
        {"150", PhotoParameter::contrast, 100},
        {"+250", PhotoParameter::contrast, 100},
        {"1e3", PhotoParameter::contrast, 100},
        {"1e300", PhotoParameter::contrast, 100},
        {"-1e300", PhotoParameter::contrast, -100},
        {"-30", PhotoParameter::grain_amount, 0},
        {"2.5", PhotoParameter::contrast, 3},
        {"-2.5", PhotoParameter::contrast, -3},
        {"45.5", PhotoParameter::circular_mask_center_x, 455},
        {"50.0", PhotoParameter::circular_mask_center_y, 500},
        {"120", PhotoParameter::circular_mask_center_y, 1000},
        {"abc", PhotoParameter::contrast, 12},
        {"+0.35 EV", PhotoParameter::exposure, 7},
        // The RAW exposure is shown in EV at 0.02 EV a step and is read back the same way.
        {"+0.76 EV", PhotoParameter::raw_exposure, 38},
        {"0.5", PhotoParameter::raw_exposure, 25},
        {"-9", PhotoParameter::raw_exposure, -100},
    };
    for (const Row& row : rows)
        EXPECT_EQ(AdjustmentInput::parameter(row.text, row.parameter, 12), row.expected) << row.text;
}

TEST(AdjustmentInputTest, ShownTextsReadBackToTheirValues) {
    for (PhotoParameter p : ParameterCatalog::allCases()) {
        for (int value : {ParameterCatalog::minimum(p), ParameterCatalog::defaultValue(p),
                          ParameterCatalog::maximum(p)}) {
            const std::string shown = ParameterCatalog::displayText(p, value);
            EXPECT_EQ(AdjustmentInput::parameter(shown, p, value + 1), value) << shown;
        }
    }
}

} // namespace
} // namespace sorvin
