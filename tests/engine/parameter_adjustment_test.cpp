#include "model/mask_weight_plan.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/row_bands.hpp"
#include "engine/saturation_adjustment.hpp"
#include "engine/vignette_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <atomic>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace sorvin {
namespace {

using P = PhotoParameter;

// A translucent bitmap with varied colours; premultiplied, so no colour byte exceeds its alpha.
SharedImage testImage(int width, int height, bool translucent = false) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = buffer.row(y);
        for (int x = 0; x < width; ++x) {
            const int alpha = translucent ? 40 + (x * 7 + y * 13) % 216 : 255;
            row[4 * x] = static_cast<std::uint8_t>((x * 37 + y * 11) % 256 * alpha / 255);
            row[4 * x + 1] = static_cast<std::uint8_t>((x * 5 + y * 29) % 256 * alpha / 255);
            row[4 * x + 2] = static_cast<std::uint8_t>((x * 17 + y * 3 + 90) % 256 * alpha / 255);
            row[4 * x + 3] = static_cast<std::uint8_t>(alpha);
        }
    }
    return makeImage(std::move(buffer));
}

bool sameBytes(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

SharedImage develop(const SharedImage& image, const PhotoParameters& parameters,
                    const MaskKindCatalog& catalog = MaskKindCatalog::current(),
                    const CancellationProbe& probe = neverCancelled()) {
    return ParameterAdjustment::applying(image, parameters, std::nullopt, catalog, probe);
}

// The program's mask kinds, but with every mask weighing `weight` at every pixel.
MaskKindCatalog constantWeightCatalog(double weight) {
    MaskKindCatalog catalog = MaskKindCatalog::current();
    for (MaskKindDefinition& definition : catalog.definitions) {
        definition.makeWeightPlan = [weight, kind = definition.kind](const PhotoParameters&, int, int) {
            return std::optional<MaskWeightPlan>(
                MaskWeightPlan{kind, MaskWeightPlan::Custom([weight](int, int) { return weight; })});
        };
    }
    return catalog;
}

PhotoParameters withMask(PhotoParameters parameters, P parameter, int value) {
    const int index = *parameters.appendMask(MaskKind::circular());
    parameters.setValue(value, parameter, ParameterEditTarget::mask(index));
    return parameters;
}

TEST(RowBands, TallBitmapsSplitIntoManyMoreBandsThanCores) {
    // A band that one slow thread holds may delay the pass by no more than a small share of it.
    EXPECT_GE(RowBands::of(4000).count, 256);
    EXPECT_GE(RowBands::of(1707).count, 128);
    EXPECT_EQ(RowBands::of(20).count, 10);
    EXPECT_EQ(RowBands::of(1).count, 1);
    EXPECT_EQ(RowBands::of(0).count, 0);

    // Every row is covered exactly once, whatever the height.
    for (int height : {1, 7, 16, 17, 33, 1707, 4000}) {
        const RowBands bands = RowBands::of(height);
        std::vector<std::atomic<int>> visits(height);
        bands.run([&](int begin, int end) {
            for (int y = begin; y < end; ++y)
                ++visits[y];
        });
        for (int y = 0; y < height; ++y)
            ASSERT_EQ(visits[y], 1) << height << " row " << y;
    }
}

TEST(ParameterProcessingPlan, EachFieldFollowsItsParameters) {
    EXPECT_TRUE(ParameterAdjustment::plan(PhotoParameters()).isEmpty());
    struct Row {
        P parameter;
        int value;
        bool ParameterProcessingPlan::*field;
    };
    const Row rows[] = {
        {P::exposure, 10, &ParameterProcessingPlan::usesLookupTables},
        {P::curve_point_blue_4, 90, &ParameterProcessingPlan::usesLookupTables},
        {P::curve_gamma, -5, &ParameterProcessingPlan::usesLookupTables},
        {P::saturation, 5, &ParameterProcessingPlan::usesSaturation},
        {P::vibrance, -5, &ParameterProcessingPlan::usesVibrance},
        {P::luminance_aqua, 3, &ParameterProcessingPlan::usesColorMixer},
        {P::hue_magenta, -3, &ParameterProcessingPlan::usesColorMixer},
        {P::blackwhite_amount, 1, &ParameterProcessingPlan::usesBlackAndWhite},
        {P::grading_balance, 20, &ParameterProcessingPlan::usesColorGrading},
        {P::grading_blending, -20, &ParameterProcessingPlan::usesColorGrading},
        {P::clarity, 10, &ParameterProcessingPlan::usesDetail},
        {P::noise_color_amount, 10, &ParameterProcessingPlan::usesDetail},
        {P::vignette_amount, -10, &ParameterProcessingPlan::usesVignette},
        {P::grain_amount, 10, &ParameterProcessingPlan::usesGrain},
    };
    for (const Row& row : rows) {
        PhotoParameters parameters;
        parameters.setValue(row.value, row.parameter);
        const ParameterProcessingPlan plan = ParameterAdjustment::plan(parameters);
        ParameterProcessingPlan expected;
        expected.*row.field = true;
        EXPECT_EQ(plan, expected) << ParameterCatalog::storedName(row.parameter);
    }
    // Values that no stage of this pass reads.
    for (P parameter : {P::blackwhite_red, P::sharpen_radius, P::vignette_midpoint, P::grain_size,
                        P::geometry_distortion, P::raw_exposure, P::circular_mask_size}) {
        PhotoParameters parameters;
        parameters.setValue(7, parameter);
        EXPECT_TRUE(ParameterAdjustment::plan(parameters).isEmpty())
            << ParameterCatalog::storedName(parameter);
    }
}

TEST(ParameterAdjustment, NothingToDoReturnsTheVeryInputWithoutAskingTheProbe) {
    const SharedImage image = testImage(9, 5);
    int probeCalls = 0;
    const CancellationProbe countingProbe = [&] {
        ++probeCalls;
        return true;
    };
    PhotoParameters parameters;
    EXPECT_EQ(develop(image, parameters, MaskKindCatalog::current(), countingProbe), image);
    parameters.setValue(30, P::geometry_distortion);
    parameters.setValue(-20, P::raw_exposure);
    EXPECT_EQ(develop(image, parameters, MaskKindCatalog::current(), countingProbe), image);
    // Masks that are inactive: amount 0, or only shape values.
    PhotoParameters masked = withMask(PhotoParameters(), P::exposure, 50);
    masked.setValue(0, P::circular_mask_amount, ParameterEditTarget::mask(0));
    masked = withMask(masked, P::circular_mask_size, 80);
    EXPECT_EQ(develop(image, masked, MaskKindCatalog::current(), countingProbe), image);
    EXPECT_EQ(probeCalls, 0);
}

TEST(ParameterAdjustment, InactiveMasksDevelopLikeNoMasks) {
    const SharedImage image = testImage(31, 17);
    PhotoParameters global;
    global.setValue(25, P::exposure);
    global.setValue(-30, P::saturation);
    PhotoParameters masked = withMask(global, P::exposure, -60);
    masked.setValue(0, P::circular_mask_amount, ParameterEditTarget::mask(0));
    const SharedImage plain = develop(image, global);
    const SharedImage withInactive = develop(image, masked);
    ASSERT_TRUE(plain && withInactive);
    EXPECT_TRUE(sameBytes(*plain, *withInactive));
}

TEST(ParameterAdjustment, SaturationAloneRunsWithIdentityTables) {
    const SharedImage image = testImage(23, 11, true);
    PhotoParameters parameters;
    parameters.setValue(-70, P::saturation);
    const SharedImage result = develop(image, parameters);
    ASSERT_TRUE(result);
    ASSERT_NE(result, image);
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
            const std::uint8_t* in = image->row(y) + 4 * x;
            const std::uint8_t* out = result->row(y) + 4 * x;
            EXPECT_EQ((RgbBytes{out[0], out[1], out[2]}),
                      SaturationAdjustment::perPixel({in[0], in[1], in[2]}, -70, 0));
            EXPECT_EQ(out[3], in[3]);
        }
    }
}

TEST(ParameterAdjustment, ToneTablesMapEveryChannelByte) {
    const SharedImage image = testImage(40, 21);
    PhotoParameters parameters;
    parameters.setValue(100, P::temperature);
    parameters.setValue(15, P::vibrance); // not a tone value: the tables are the same without it
    PhotoParameters tonesOnly;
    tonesOnly.setValue(100, P::temperature);
    const auto tables = ParameterAdjustment::lookupTables(parameters);
    ASSERT_TRUE(tables);
    EXPECT_EQ(*tables, *ParameterAdjustment::lookupTables(tonesOnly));
    const SharedImage result = develop(image, tonesOnly);
    ASSERT_TRUE(result);
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x) {
            const std::uint8_t* in = image->row(y) + 4 * x;
            const std::uint8_t* out = result->row(y) + 4 * x;
            ASSERT_EQ(out[0], tables->red[in[0]]);
            ASSERT_EQ(out[1], tables->green[in[1]]);
            ASSERT_EQ(out[2], tables->blue[in[2]]);
            ASSERT_EQ(out[3], in[3]);
        }
    }
}

TEST(ParameterAdjustment, VignetteAloneSkipsTheColourSweep) {
    const SharedImage image = testImage(48, 30);
    PhotoParameters parameters;
    parameters.setValue(80, P::vignette_amount);
    const SharedImage result = develop(image, parameters);
    ASSERT_TRUE(result);
    const auto plan = VignetteAdjustment::plan(parameters, 48, 30, std::nullopt);
    ASSERT_TRUE(plan);
    PixelBuffer expected = image->copyPixels();
    for (int y = 0; y < 30; ++y)
        VignetteAdjustment::applyRow(expected.row(y), y, 48, *plan);
    EXPECT_TRUE(sameBytes(*result, Image(std::move(expected))));
}

TEST(ParameterAdjustment, SecondSweepWorksOnTheFirstSweepsResult) {
    // The detail planes are taken from the colour-developed bitmap, and grain follows detail.
    const SharedImage image = testImage(40, 36);
    PhotoParameters colour;
    colour.setValue(30, P::exposure);
    colour.setValue(-40, P::saturation);
    PhotoParameters finishing;
    finishing.setValue(60, P::clarity);
    finishing.setValue(40, P::sharpen_amount);
    finishing.setValue(25, P::grain_amount);
    PhotoParameters both = colour;
    for (P parameter : {P::clarity, P::sharpen_amount, P::grain_amount})
        both.setValue(finishing[parameter], parameter);
    const SharedImage oneGo = develop(image, both);
    const SharedImage twoSteps = develop(develop(image, colour), finishing);
    ASSERT_TRUE(oneGo && twoSteps);
    EXPECT_TRUE(sameBytes(*oneGo, *twoSteps));
    EXPECT_FALSE(sameBytes(*oneGo, *develop(image, colour)));
}

TEST(ParameterAdjustment, AlphaPassesThroughEveryStageAndMask) {
    const SharedImage image = testImage(37, 29, true);
    PhotoParameters parameters;
    for (auto [parameter, value] :
         std::initializer_list<std::pair<P, int>>{{P::exposure, 40},
                                                  {P::contrast, 30},
                                                  {P::saturation, 50},
                                                  {P::vibrance, -20},
                                                  {P::hue_green, 40},
                                                  {P::blackwhite_amount, 30},
                                                  {P::grading_global_saturation, 60},
                                                  {P::texture, 40},
                                                  {P::vignette_amount, 50},
                                                  {P::grain_amount, 30}}) {
        parameters.setValue(value, parameter);
    }
    parameters = withMask(parameters, P::exposure, -50);
    const SharedImage result = develop(image, parameters);
    ASSERT_TRUE(result);
    for (int y = 0; y < image->height(); ++y) {
        for (int x = 0; x < image->width(); ++x)
            ASSERT_EQ(result->row(y)[4 * x + 3], image->row(y)[4 * x + 3]);
    }
}

TEST(ParameterAdjustment, MaskWeightZeroKeepsTheInputAndOneTakesTheDevelopedPixels) {
    const SharedImage image = testImage(25, 20, true);
    PhotoParameters global;
    global.setValue(20, P::contrast);
    const PhotoParameters masked = withMask(global, P::exposure, 60);

    const SharedImage globalOnly = develop(image, global);
    const SharedImage weightZero = develop(image, masked, constantWeightCatalog(0));
    ASSERT_TRUE(globalOnly && weightZero);
    EXPECT_TRUE(sameBytes(*weightZero, *globalOnly));

    PhotoParameters maskAsGlobal;
    maskAsGlobal.setValue(60, P::exposure);
    const SharedImage expected = develop(globalOnly, maskAsGlobal);
    const SharedImage weightOne = develop(image, masked, constantWeightCatalog(1));
    ASSERT_TRUE(expected && weightOne);
    EXPECT_TRUE(sameBytes(*weightOne, *expected));
}

TEST(ParameterAdjustment, PartialWeightRoundsHalfAwayFromZero) {
    const SharedImage image = testImage(16, 3);
    const PhotoParameters masked = withMask(PhotoParameters(), P::saturation, -100);
    PhotoParameters maskAsGlobal;
    maskAsGlobal.setValue(-100, P::saturation);
    const SharedImage full = develop(image, maskAsGlobal);
    const SharedImage half = develop(image, masked, constantWeightCatalog(0.5));
    ASSERT_TRUE(full && half);
    for (std::size_t i = 0; i < image->byteCount(); ++i) {
        if (i % 4 == 3) continue;
        const int s = image->data()[i];
        const int d = full->data()[i];
        // s + (d - s) / 2, a halfway value rounding up (away from zero).
        ASSERT_EQ(half->data()[i], (s + d + 1) / 2) << i;
    }
}

TEST(ParameterAdjustment, MasksStackInListOrder) {
    const SharedImage image = testImage(19, 13);
    // First to grey, then warmed: the result keeps the warm tint. The other way round it would be grey.
    PhotoParameters masked = withMask(PhotoParameters(), P::saturation, -100);
    masked = withMask(masked, P::temperature, 100);
    PhotoParameters grey;
    grey.setValue(-100, P::saturation);
    PhotoParameters warm;
    warm.setValue(100, P::temperature);
    const SharedImage expected = develop(develop(image, grey), warm);
    const SharedImage stacked = develop(image, masked, constantWeightCatalog(1));
    ASSERT_TRUE(expected && stacked);
    EXPECT_TRUE(sameBytes(*stacked, *expected));
    EXPECT_GT(stacked->row(5)[4 * 9], stacked->row(5)[4 * 9 + 2]);
}

TEST(ParameterAdjustment, ACircularMaskActsInsideItsShapeOnly) {
    // Default shape on 100 x 60: centre (50, 30), radius 9, full weight 0.1 within 4.5 pixels.
    PixelBuffer buffer(100, 60);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = (i % 4 == 3) ? 255 : 100;
    const SharedImage image = makeImage(std::move(buffer));
    PhotoParameters masked = withMask(PhotoParameters(), P::exposure, 100);
    masked.setValue(100, P::circular_mask_amount, ParameterEditTarget::mask(0));
    const SharedImage result = develop(image, masked);
    ASSERT_TRUE(result);
    EXPECT_GT(result->row(30)[4 * 50], 200);
    EXPECT_EQ(result->row(0)[0], 100);
    EXPECT_EQ(result->row(30)[4 * 70], 100);
}

TEST(ParameterAdjustment, AMaskPassIsTheWholeDevelopmentBlendedByTheWeights) {
    // Whatever the pass skips where the weight is 0, the result must be the blend of the fully
    // developed image, pixel by pixel.
    const SharedImage image = testImage(90, 64, true);
    struct Row {
        const char* label;
        std::vector<std::pair<P, int>> values;
    };
    const Row rows[] = {
        {"colour only", {{P::saturation, -80}, {P::exposure, 30}}},
        {"with vignette and grain", {{P::saturation, 50}, {P::vignette_amount, 70}, {P::grain_amount, 40}}},
        {"with detail", {{P::clarity, 70}, {P::temperature, 40}}},
    };
    for (const Row& row : rows) {
        PhotoParameters masked;
        const int index = *masked.appendMask(MaskKind::circular());
        PhotoParameters maskAsGlobal;
        for (auto [parameter, value] : row.values) {
            masked.setValue(value, parameter, ParameterEditTarget::mask(index));
            maskAsGlobal.setValue(value, parameter);
        }
        masked.setValue(90, P::circular_mask_amount, ParameterEditTarget::mask(index));
        masked.setValue(300, P::circular_mask_center_x, ParameterEditTarget::mask(index));
        const SharedImage result = develop(image, masked);
        const SharedImage developed = develop(image, maskAsGlobal);
        ASSERT_TRUE(result && developed);
        const auto plan = MaskKindCatalog::current()
                              .definition(MaskKind::circular())
                              ->makeWeightPlan(masked.masks[0].pipelineParameters(), 90, 64);
        ASSERT_TRUE(plan);
        int mismatches = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 90; ++x) {
                const double w = plan->weight(x, y);
                for (int c = 0; c < 4; ++c) {
                    const int s = image->row(y)[4 * x + c];
                    const int d = developed->row(y)[4 * x + c];
                    const int expected = c == 3 ? s : static_cast<int>(std::lround(s + w * (d - s)));
                    if (result->row(y)[4 * x + c] != expected && ++mismatches < 4) {
                        ADD_FAILURE() << row.label << " at " << x << "," << y << " channel " << c;
                    }
                }
            }
        }
    }
}

TEST(ParameterAdjustment, AMaskWithoutWeightPlanGivesNoImage) {
    MaskKindCatalog catalog = MaskKindCatalog::current();
    for (MaskKindDefinition& definition : catalog.definitions) {
        definition.makeWeightPlan = [](const PhotoParameters&, int, int) {
            return std::optional<MaskWeightPlan>();
        };
    }
    const PhotoParameters masked = withMask(PhotoParameters(), P::exposure, 30);
    EXPECT_FALSE(develop(testImage(8, 8), masked, catalog));
}

TEST(ParameterAdjustment, CancellationGivesNoImage) {
    const SharedImage image = testImage(50, 40);
    PhotoParameters parameters;
    parameters.setValue(10, P::exposure);
    const CancellationProbe always = [] { return true; };
    EXPECT_FALSE(develop(image, parameters, MaskKindCatalog::current(), always));

    // Cancelled part-way through: some rows done, the result still discarded.
    for (int after : {1, 5, 39, 41}) {
        std::atomic<int> calls = 0;
        const CancellationProbe later = [&] { return ++calls > after; };
        EXPECT_FALSE(develop(image, withMask(parameters, P::contrast, 40), MaskKindCatalog::current(), later))
            << after;
    }
    // A probe that answers true only once still costs the result: some rows were left undone.
    for (int at : {1, 7, 30}) {
        std::atomic<int> calls = 0;
        const CancellationProbe once = [&] { return ++calls == at; };
        EXPECT_FALSE(develop(image, parameters, MaskKindCatalog::current(), once)) << at;
    }
    // A probe that never fires gives the image; so does an empty one.
    EXPECT_TRUE(develop(image, parameters, MaskKindCatalog::current(), [] { return false; }));
    EXPECT_TRUE(develop(image, parameters, MaskKindCatalog::current(), CancellationProbe()));
}

TEST(ParameterAdjustment, OnePixelImage) {
    const SharedImage image = testImage(1, 1, true);
    PhotoParameters parameters;
    parameters.setValue(-100, P::saturation);
    parameters = withMask(parameters, P::exposure, 50);
    const SharedImage result = develop(image, parameters, constantWeightCatalog(1));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->width(), 1);
    EXPECT_EQ(result->height(), 1);
    EXPECT_EQ(result->data()[3], image->data()[3]);
}

TEST(ParameterAdjustment, ConcurrentDevelopmentsMatchSerialOnes) {
    const SharedImage image = testImage(64, 48);
    std::vector<PhotoParameters> sets;
    for (int k = 0; k < 12; ++k) {
        PhotoParameters p;
        p.setValue(5 * k - 30, P::exposure);
        p.setValue(3 * k, P::contrast);
        p.setValue(k % 3 == 0 ? 40 : -20, P::vibrance);
        p.setValue(700 + k, P::curve_point_green_2); // clamped to 100
        p.setValue(k - 50, P::grading_midtones_saturation);
        sets.push_back(withMask(p, P::highlights, -40 + k));
    }
    std::vector<SharedImage> concurrent(sets.size());
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < sets.size(); ++k) {
        threads.emplace_back([&, k] { concurrent[k] = develop(image, sets[k]); });
    }
    for (auto& thread : threads)
        thread.join();
    for (std::size_t k = 0; k < sets.size(); ++k) {
        const SharedImage serial = develop(image, sets[k]);
        ASSERT_TRUE(serial && concurrent[k]);
        EXPECT_TRUE(sameBytes(*serial, *concurrent[k])) << k;
    }
}

TEST(ParameterAdjustment, WorkingBitmapRefusesEmptyAndHugeSizes) {
    EXPECT_FALSE(ParameterAdjustment::rgbaContext(0, 10));
    EXPECT_FALSE(ParameterAdjustment::rgbaContext(10, -1));
    EXPECT_FALSE(ParameterAdjustment::rgbaContext(1 << 20, 1 << 20));
    const auto bitmap = ParameterAdjustment::rgbaContext(3, 2);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bytesPerRow(), 12u);
    for (std::size_t i = 0; i < bitmap->byteCount(); ++i)
        EXPECT_EQ(bitmap->data()[i], 0);
}

} // namespace
} // namespace sorvin
