#include "engine/first_sweep.hpp"
#include "engine/parameter_adjustment.hpp"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace sorvin {
namespace {

// Pixels that reach every branch: greys, primaries, hues on and beside the sector anchors, ties
// between channels, and random colours.
std::vector<std::uint8_t> probePixels(std::size_t randomCount) {
    std::vector<std::uint8_t> bytes;
    const auto push = [&](int r, int g, int b) {
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                   static_cast<std::uint8_t>(b), static_cast<std::uint8_t>((r + g) % 256)});
    };
    for (int v : {0, 1, 127, 128, 254, 255})
        push(v, v, v);
    for (int a : {0, 64, 128, 255}) {
        for (int b : {0, 1, 127, 128, 254, 255}) {
            push(255, a, b), push(a, 255, b), push(a, b, 255), push(a, a, b), push(b, a, a), push(a, b, a);
        }
    }
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t i = 0; i < randomCount; ++i)
        push(byte(random), byte(random), byte(random));
    push(3, 2, 1); // leaves a tail that is not a multiple of eight
    return bytes;
}

void expectRowMatchesOnePixelStages(const FirstSweep& sweep, const char* label) {
    const std::vector<std::uint8_t> in = probePixels(20000);
    const int width = static_cast<int>(in.size() / 4);
    std::vector<std::uint8_t> out(in.size());
    sweep.row(in.data(), out.data(), width);
    int mismatches = 0;
    for (int x = 0; x < width && mismatches < 5; ++x) {
        const std::uint8_t* p = &in[4 * x];
        const RgbBytes expected =
            sweep.colorStages({(*sweep.red)[p[0]], (*sweep.green)[p[1]], (*sweep.blue)[p[2]]});
        const RgbBytes actual{out[4 * x], out[4 * x + 1], out[4 * x + 2]};
        if (actual != expected || out[4 * x + 3] != p[3]) {
            ++mismatches;
            ADD_FAILURE() << label << ": pixel " << int(p[0]) << "," << int(p[1]) << "," << int(p[2])
                          << " gave " << int(actual.red) << "," << int(actual.green) << ","
                          << int(actual.blue) << " instead of " << int(expected.red) << ","
                          << int(expected.green) << "," << int(expected.blue);
        }
    }
}

FirstSweep sweepWithIdentityTables() {
    FirstSweep sweep;
    sweep.red = sweep.green = sweep.blue = &ParameterAdjustment::identityTable();
    return sweep;
}

TEST(FirstSweep, EveryPathGivesTheBytesOfTheOnePixelStages) {
    // Runs the vector path where the processor has one, and the plain loop otherwise.
    ColorAdjustmentPlan mixer;
    mixer.hue = {100, -40, 20, -100, 60, 0, 35, -75};
    mixer.saturation = {-100, 50, 0, 80, -30, 100, -60, 10};
    mixer.luminance = {30, -100, 100, 0, -45, 70, -20, 5};
    ColorAdjustmentPlan hueOnly;
    hueOnly.hue[2] = 55;
    ColorGradingValues gradingValues;
    gradingValues.shadowsHue = 40;
    gradingValues.shadowsSaturation = -70;
    gradingValues.highlightsSaturation = 90;
    gradingValues.globalHue = -20;
    gradingValues.globalSaturation = 30;
    gradingValues.blending = 35;
    gradingValues.balance = -25;

    struct Case {
        const char* label;
        int saturation, vibrance;
        std::optional<ColorAdjustmentPlan> color;
        std::optional<BlackAndWhiteAdjustmentPlan> blackAndWhite;
        std::optional<ColorGradingPlan> grading;
    };
    const Case cases[] = {
        {"saturation up", 73, 0, {}, {}, {}},
        {"saturation down", -41, 0, {}, {}, {}},
        {"vibrance", 0, 100, {}, {}, {}},
        {"both", -100, -65, {}, {}, {}},
        {"mixer", 0, 0, mixer, {}, {}},
        {"mixer hue only", 0, 0, hueOnly, {}, {}},
        {"grey, neutral weights", 0, 0, {}, BlackAndWhiteAdjustment::makePlan(100, {}), {}},
        {"grey, weights",
         0,
         0,
         {},
         BlackAndWhiteAdjustment::makePlan(100, {80, -20, 0, 45, -100, 100, 15, -60}),
         {}},
        {"partly grey", 0, 0, {}, BlackAndWhiteAdjustment::makePlan(37, {-50, 0, 0, 0, 30, 0, 0, 90}), {}},
        {"grading", 0, 0, {}, {}, ColorGradingAdjustment::plan(gradingValues)},
        {"everything", 25, -30, mixer,
         BlackAndWhiteAdjustment::makePlan(62, {10, 20, -30, 40, 0, -50, 60, 70}),
         ColorGradingAdjustment::plan(gradingValues)},
    };
    for (const Case& c : cases) {
        FirstSweep sweep = sweepWithIdentityTables();
        sweep.saturation = c.saturation;
        sweep.vibrance = c.vibrance;
        sweep.color = c.color;
        sweep.blackAndWhite = c.blackAndWhite;
        sweep.grading = c.grading;
        expectRowMatchesOnePixelStages(sweep, c.label);
        if (c.grading) {
            // Large bitmaps grade through the table of graded bytes.
            sweep.gradingBytes = ColorGradingAdjustment::byteTable(*c.grading);
            expectRowMatchesOnePixelStages(sweep, c.label);
        }
    }
}

TEST(FirstSweep, TablesComeFirstAndAlphaIsCopied) {
    ToneTableValues tones;
    tones.exposure = 35;
    tones.curvePoints[3] = {10, 20, 60, 80, 90};
    const auto tables = ParameterAdjustment::lookupTables(tones);
    ASSERT_TRUE(tables);
    FirstSweep sweep;
    sweep.red = &tables->red;
    sweep.green = &tables->green;
    sweep.blue = &tables->blue;
    sweep.hasTables = true;
    expectRowMatchesOnePixelStages(sweep, "tables only");
    sweep.vibrance = 45;
    sweep.blackAndWhite = BlackAndWhiteAdjustment::makePlan(50, {});
    expectRowMatchesOnePixelStages(sweep, "tables and colour");
}

} // namespace
} // namespace sorvin
