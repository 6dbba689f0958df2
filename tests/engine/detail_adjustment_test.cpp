#include "engine/detail_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace sorvin {
namespace {

using Rgb = std::array<int, 3>;

// The detail work of one pass on a small bitmap, done the way the pipeline does it: planes from
// the bitmap, blurred, then combined row by row. Radii default to more than any test image's side,
// so every blur is the mean of the whole image.
std::vector<Rgb> developed(const std::vector<Rgb>& pixels, int width, int height, DetailAdjustmentPlan plan) {
    std::vector<std::uint8_t> rgba;
    for (const Rgb& p : pixels)
        rgba.insert(rgba.end(), {std::uint8_t(p[0]), std::uint8_t(p[1]), std::uint8_t(p[2]), 77});
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    const DetailPlanes planes = DetailAdjustment::planesFromBitmap(rgba.data(), width, height, stride, plan);
    for (int y = 0; y < height; ++y)
        DetailAdjustment::applyRow(rgba.data() + stride * y, y, plan, planes);
    std::vector<Rgb> out;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        EXPECT_EQ(rgba[i + 3], 77) << "alpha changed";
        out.push_back({rgba[i], rgba[i + 1], rgba[i + 2]});
    }
    return out;
}

DetailAdjustmentPlan wideRadii() {
    DetailAdjustmentPlan plan;
    plan.sharpenDetail = 0.25;
    plan.noiseLuminanceDetail = 0.5;
    plan.textureRadius = plan.clarityRadius = plan.dehazeRadius = plan.sharpRadius = 50;
    plan.luminanceNoiseRadius = plan.colorNoiseRadius = 50;
    return plan;
}

Rgb grey(int v) {
    return {v, v, v};
}

TEST(DetailAdjustment, SharpeningRadiusRoundsHalvesToEven) {
    struct Case {
        int amount, longEdge, radius;
    };
    // (amount * 2.5 / 100 + 0.5) / 1000 * long edge is exactly x.5 in each case.
    const Case cases[] = {{30, 2000, 2}, {10, 2000, 2}, {8, 5000, 4}, {4, 7500, 4},
                          {70, 2000, 4}, {2, 10000, 6}, {0, 1000, 1}, {100, 6000, 18}};
    for (const Case& c : cases)
        EXPECT_EQ(DetailAdjustment::sharpRadius(c.amount, c.longEdge), c.radius)
            << c.amount << " " << c.longEdge;
    EXPECT_EQ(DetailAdjustment::sharpRadius(250, 1000), 3) << "clamped to 100";
    EXPECT_EQ(DetailAdjustment::sharpRadius(30, 1), 1) << "at least one pixel";
}

TEST(DetailAdjustment, PlanOnlyWhenADetailParameterIsSet) {
    PhotoParameters parameters;
    EXPECT_FALSE(DetailAdjustment::plan(parameters, 100, 100));
    parameters.setValue(80, PhotoParameter::sharpen_radius); // shapes sharpening but does not start it
    parameters.setValue(10, PhotoParameter::sharpen_detail);
    EXPECT_FALSE(DetailAdjustment::plan(parameters, 100, 100));
    parameters.setValue(-40, PhotoParameter::dehaze);
    EXPECT_FALSE(DetailAdjustment::plan(parameters, 0, 100));
    const auto plan = DetailAdjustment::plan(parameters, 100, 100);
    ASSERT_TRUE(plan);
    EXPECT_DOUBLE_EQ(plan->dehaze, -0.4);
    EXPECT_DOUBLE_EQ(plan->sharpenDetail, 0.1);
    EXPECT_DOUBLE_EQ(plan->noiseLuminanceDetail, 0.5) << "default 50";
    EXPECT_EQ(plan->texture, 0);
}

TEST(DetailAdjustment, RadiiFollowTheLongEdge) {
    struct Case {
        int width, height;
        int texture, clarity, luminanceNoise, colorNoise, sharp;
    };
    // Radii round half away from zero (1000 * 0.0025 = 2.5 gives 3), sharpening half to even
    // ((30 * 2.5 / 100 + 0.5) / 1000 = 0.00125: 6000 gives 7.5 and 8, 2000 gives 2.5 and 2); never below 1.
    const Case cases[] = {{6000, 4000, 18, 240, 9, 15, 8}, {1000, 700, 3, 40, 2, 3, 1},
                          {1707, 2000, 6, 80, 3, 5, 2},    {500, 20, 2, 20, 1, 1, 1},
                          {100, 100, 1, 4, 1, 1, 1},       {1, 1, 1, 1, 1, 1, 1}};
    PhotoParameters parameters;
    parameters.setValue(20, PhotoParameter::texture);
    for (const Case& c : cases) {
        const auto plan = DetailAdjustment::plan(parameters, c.width, c.height);
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->textureRadius, c.texture) << c.width;
        EXPECT_EQ(plan->clarityRadius, c.clarity) << c.width;
        EXPECT_EQ(plan->dehazeRadius, c.clarity) << c.width;
        EXPECT_EQ(plan->luminanceNoiseRadius, c.luminanceNoise) << c.width;
        EXPECT_EQ(plan->colorNoiseRadius, c.colorNoise) << c.width;
        EXPECT_EQ(plan->sharpRadius, c.sharp) << c.width;
    }
}

TEST(DetailAdjustment, PlanesFollowTheIntegerFormulas) {
    const std::vector<std::uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 30, 200, 90, 0};
    const DetailPlane luminance = DetailAdjustment::luminancePlane(rgba.data(), 4, 1, 16, false);
    EXPECT_EQ(std::vector<int>(luminance.data(), luminance.data() + 4), (std::vector<int>{54, 182, 18, 156}));
    const DetailPlane dark = DetailAdjustment::darkChannelPlane(rgba.data(), 2, 2, 8, true);
    EXPECT_EQ(std::vector<int>(dark.data(), dark.data() + 4), (std::vector<int>{0, 0, 0, 30}));
    const auto colors = DetailAdjustment::colorPlanes(rgba.data(), 4, 1, 16, false);
    EXPECT_EQ(colors.green.data()[3], 200);
    EXPECT_EQ(colors.blue.data()[2], 255);

    // Every colour once, in rows long enough for the vector path.
    const int side = 4096;
    std::vector<std::uint8_t> all(4 * static_cast<std::size_t>(side) * side);
    for (std::size_t i = 0; i < all.size() / 4; ++i) {
        all[4 * i] = static_cast<std::uint8_t>(i);
        all[4 * i + 1] = static_cast<std::uint8_t>(i >> 8);
        all[4 * i + 2] = static_cast<std::uint8_t>(i >> 16);
    }
    const DetailPlane everyLuminance =
        DetailAdjustment::luminancePlane(all.data(), side, side, 4 * side, true);
    const DetailPlane everyDark = DetailAdjustment::darkChannelPlane(all.data(), side, side, 4 * side, true);
    const auto everyColor = DetailAdjustment::colorPlanes(all.data(), side, side, 4 * side, true);
    int wrong = 0;
    for (std::size_t i = 0; i < all.size() / 4; ++i) {
        const std::uint8_t* px = all.data() + 4 * i;
        wrong += everyLuminance.data()[i] != DetailAdjustment::luminanceByte(px[0], px[1], px[2]);
        wrong += everyDark.data()[i] != std::min({px[0], px[1], px[2]});
        wrong += everyColor.red.data()[i] != px[0] || everyColor.green.data()[i] != px[1] ||
                 everyColor.blue.data()[i] != px[2];
    }
    EXPECT_EQ(wrong, 0);
}

TEST(DetailAdjustment, MakePlanesBuildsOnlyTheBlursInUse) {
    struct Case {
        const char* name;
        void (*set)(DetailAdjustmentPlan&);
        bool texture, clarity, dehaze, sharp, luminanceNoise, colorNoise;
    };
    const Case cases[] = {
        {"texture", [](DetailAdjustmentPlan& p) { p.texture = 0.3; }, true, false, false, false, false,
         false},
        {"clarity alone is measured against the texture blur",
         [](DetailAdjustmentPlan& p) { p.clarity = -0.2; }, true, true, false, false, false, false},
        {"dehaze", [](DetailAdjustmentPlan& p) { p.dehaze = 0.5; }, false, false, true, false, false, false},
        {"sharpening", [](DetailAdjustmentPlan& p) { p.sharpenAmount = 0.5; }, false, false, false, true,
         false, false},
        {"luminance noise", [](DetailAdjustmentPlan& p) { p.noiseLuminanceAmount = 0.5; }, false, false,
         false, false, true, false},
        {"colour noise", [](DetailAdjustmentPlan& p) { p.noiseColorAmount = 0.5; }, false, false, false,
         false, false, true},
    };
    const std::vector<std::uint8_t> rgba(4 * 6 * 5, 120);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DetailAdjustmentPlan plan = wideRadii();
        c.set(plan);
        auto colors = DetailAdjustment::colorPlanes(rgba.data(), 6, 5, 24, true);
        const DetailPlanes planes = DetailAdjustment::makePlanes(
            DetailAdjustment::luminancePlane(rgba.data(), 6, 5, 24, true),
            DetailAdjustment::darkChannelPlane(rgba.data(), 6, 5, 24, true), std::move(colors.red),
            std::move(colors.green), std::move(colors.blue), 6, 5, plan, true);
        EXPECT_EQ(!planes.textureBlur.empty(), c.texture);
        EXPECT_EQ(!planes.clarityBlur.empty(), c.clarity);
        EXPECT_EQ(!planes.dehazeBlur.empty(), c.dehaze);
        EXPECT_EQ(!planes.sharpBlur.empty(), c.sharp);
        EXPECT_EQ(!planes.luminanceNoiseBlur.empty(), c.luminanceNoise);
        EXPECT_EQ(!planes.redNoiseBlur.empty(), c.colorNoise);
        EXPECT_EQ(!planes.blueNoiseBlur.empty(), c.colorNoise);
    }
}

TEST(DetailAdjustment, TextureWorksOnMidtonesAndLeavesBlackAndWhite) {
    DetailAdjustmentPlan plan = wideRadii();
    plan.texture = 1;
    // T = mean(0, 100, 255) = 118; at Y = 100: (1 - (55/255)^3) * 1.5 * (100 - 118) = -26.73.
    EXPECT_EQ(developed({grey(0), grey(100), grey(255)}, 3, 1, plan),
              (std::vector<Rgb>{grey(0), grey(73), grey(255)}));
}

TEST(DetailAdjustment, SharpeningMaskSparesFlatAreas) {
    DetailAdjustmentPlan plan = wideRadii();
    plan.sharpenAmount = 1;
    // The blur is flat (100 everywhere), so every gradient is 0.
    const std::vector<Rgb> image = {grey(90), grey(100), grey(110)};
    plan.sharpenMask = 1;
    EXPECT_EQ(developed(image, 3, 1, plan), image);
    plan.sharpenMask = 0;
    EXPECT_EQ(developed(image, 3, 1, plan), (std::vector<Rgb>{grey(80), grey(100), grey(120)}));
    // Differences beyond the limit (0.25 * 92 + 8 = 31 levels) are cut to it.
    EXPECT_EQ(developed({grey(40), grey(100), grey(160)}, 3, 1, plan),
              (std::vector<Rgb>{grey(9), grey(100), grey(191)}));
}

TEST(DetailAdjustment, LuminanceNoiseSmoothsSmallDifferencesOnly) {
    DetailAdjustmentPlan plan = wideRadii();
    plan.noiseLuminanceAmount = 1;
    // Threshold (1 - 0.5) * 36 + 4 = 22: a difference of 4 moves 4 * (1 - 4/22) towards the blur.
    EXPECT_EQ(developed({grey(96), grey(100), grey(104)}, 3, 1, plan),
              (std::vector<Rgb>{grey(99), grey(100), grey(101)}));
    const std::vector<Rgb> strong = {grey(40), grey(100), grey(160)};
    EXPECT_EQ(developed(strong, 3, 1, plan), strong);
}

TEST(DetailAdjustment, ColorNoiseMovesChromaAndKeepsLuminance) {
    DetailAdjustmentPlan plan = wideRadii();
    const std::vector<Rgb> image = {{200, 50, 50}, {50, 50, 200}};
    plan.noiseColorAmount = 1;
    // Blurred (125, 50, 125) with luminance 71; the first pixel's luminance is 82.
    EXPECT_EQ(developed(image, 2, 1, plan)[0], (Rgb{136, 61, 136}));
    plan.noiseColorAmount = 0.5;
    // Green: 0.5 * 11 + 50 = 55.5 rounds away from zero.
    EXPECT_EQ(developed(image, 2, 1, plan)[0], (Rgb{168, 56, 93}));
}

TEST(DetailAdjustment, DehazeBothWays) {
    DetailAdjustmentPlan plan = wideRadii();
    plan.dehaze = 1;
    // D = 100: a = 80, each channel (c - 80) * 255 / 175.
    EXPECT_EQ(developed({{100, 150, 200}}, 1, 1, plan)[0], (Rgb{29, 102, 175}));
    // A pixel with a zero channel has no haze to remove.
    EXPECT_EQ(developed({{0, 50, 80}}, 1, 1, plan)[0], (Rgb{0, 50, 80}));
    plan.dehaze = -1;
    // k = 0.6 * 100 / 255: each channel moves towards white by k.
    EXPECT_EQ(developed({{100, 150, 200}}, 1, 1, plan)[0], (Rgb{136, 175, 213}));
}

TEST(DetailAdjustment, PipelineBandsGiveTheResultOfOneSweep) {
    // Planes built once for the whole bitmap: rows at band edges see their neighbours like any other.
    using P = PhotoParameter;
    PhotoParameters parameters;
    for (auto [p, v] : {std::pair{P::texture, 60},
                        {P::clarity, -40},
                        {P::dehaze, 35},
                        {P::sharpen_amount, 80},
                        {P::sharpen_mask, 20},
                        {P::noise_luminance_amount, 50},
                        {P::noise_color_amount, 70}})
        parameters.setValue(v, p);
    const int width = 61, height = 45;
    PixelBuffer buffer(width, height);
    std::mt19937 random(5);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = static_cast<std::uint8_t>(random());
    const SharedImage image = makeImage(std::move(buffer));

    const SharedImage developed =
        ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current());
    ASSERT_TRUE(developed);
    PixelBuffer expected = image->copyPixels();
    const auto plan = *DetailAdjustment::plan(parameters, width, height);
    const DetailPlanes planes =
        DetailAdjustment::planesFromBitmap(expected.data(), width, height, expected.bytesPerRow(), plan);
    for (int y = 0; y < height; ++y)
        DetailAdjustment::applyRow(expected.row(y), y, plan, planes);
    EXPECT_EQ(std::memcmp(developed->data(), expected.data(), expected.byteCount()), 0);
    EXPECT_NE(std::memcmp(developed->data(), image->data(), expected.byteCount()), 0);
}

TEST(DetailAdjustment, ADetailPassCancelledAtAnyRowGivesNoImage) {
    // The first sweep runs inside the detail stage's steps: a stop there or in the finishing rows
    // leaves rows undone.
    PhotoParameters parameters;
    parameters.setValue(30, PhotoParameter::clarity);
    parameters.setValue(20, PhotoParameter::exposure);
    PixelBuffer buffer(40, 300);
    std::mt19937 random(9);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = static_cast<std::uint8_t>(random());
    const SharedImage image = makeImage(std::move(buffer));
    for (int at : {1, 2, 40, 250, 299, 301, 450, 599}) {
        std::atomic<int> calls = 0;
        const CancellationProbe once = [&] { return ++calls == at; };
        EXPECT_FALSE(
            ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current(), once))
            << at;
    }
    EXPECT_TRUE(ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current(),
                                              [] { return false; }));
}

} // namespace
} // namespace sorvin
