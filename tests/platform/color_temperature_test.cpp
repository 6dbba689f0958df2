#include "platform/color_temperature.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(ColorTemperatureTest, KnownIlluminantsLieWhereColorimetryPutsThem) {
    struct Row {
        const char* name;
        double x, y;
        double kelvin, tint;
    };
    // CIE illuminants A and D65 with their published correlated colour temperatures; D65 sits
    // slightly on the green side of the locus (Duv ≈ +0.003).
    const Row rows[] = {{"A", 0.44757, 0.40745, 2856, 0}, {"D65", 0.31271, 0.32902, 6504, 9.5}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto setting = ColorTemperature::setting({row.x, row.y});
        EXPECT_NEAR(setting.kelvin, row.kelvin, row.kelvin * 0.01);
        EXPECT_NEAR(setting.tint, row.tint, 2.0);
    }
}

TEST(ColorTemperatureTest, SettingInvertsChromaticityAcrossTheRange) {
    for (double kelvin : {2000.0, 2856.0, 4000.0, 5000.0, 6500.0, 10000.0, 20000.0}) {
        for (double tint : {-60.0, -20.0, 0.0, 35.0, 60.0}) {
            SCOPED_TRACE(testing::Message() << kelvin << " K, tint " << tint);
            const auto back = ColorTemperature::setting(ColorTemperature::chromaticity({kelvin, tint}));
            EXPECT_NEAR(back.kelvin, kelvin, kelvin * 0.005);
            EXPECT_NEAR(back.tint, tint, 0.5);
        }
    }
}

TEST(ColorTemperatureTest, PositiveTintIsGreenerAndHigherTemperatureIsBluer) {
    const auto neutral = ColorTemperature::chromaticity({5000, 0});
    const auto green = ColorTemperature::chromaticity({5000, 50});
    EXPECT_GT(green.y, neutral.y);
    const auto blue = ColorTemperature::chromaticity({9000, 0});
    EXPECT_LT(blue.x, neutral.x);
    EXPECT_LT(blue.y, neutral.y);
}

TEST(ColorTemperatureTest, TemperaturesOutsideTheLocusAreClamped) {
    const auto hot = ColorTemperature::chromaticity({1e6, 0});
    const auto edge = ColorTemperature::chromaticity({ColorTemperature::kMaximumKelvin, 0});
    EXPECT_DOUBLE_EQ(hot.x, edge.x);
    EXPECT_DOUBLE_EQ(hot.y, edge.y);
    const auto cold = ColorTemperature::chromaticity({100, 0});
    EXPECT_DOUBLE_EQ(cold.x, ColorTemperature::chromaticity({ColorTemperature::kMinimumKelvin, 0}).x);
}

} // namespace
} // namespace sorvin
