#include "engine/grain_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace sorvin {
namespace {

std::vector<std::uint8_t> grained(const GrainPlan& plan, int width, int height, std::uint8_t value) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width * height * 4), value);
    for (int y = 0; y < height; ++y)
        GrainAdjustment::applyRow(rgba.data() + y * width * 4, y, width, plan);
    return rgba;
}

TEST(GrainAdjustment, CellsScaleWithTheLongEdge) {
    // Size 0: 1000 cells along a 1000-pixel long edge, one per pixel; size 100: cells of 4 pixels.
    const auto fine = GrainAdjustment::plan(50, 0, 0, 1000, 600);
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->columnCells[0], 0);
    EXPECT_EQ(fine->columnCells[999], 999);
    EXPECT_EQ(fine->rowCells[599], 599);
    const auto coarse = GrainAdjustment::plan(50, 100, 0, 1000, 600);
    EXPECT_EQ(coarse->columnCells[3], 0);
    EXPECT_EQ(coarse->columnCells[4], 1);
    EXPECT_EQ(coarse->columnCells[999], 249);
    // A smaller render of the same photo keeps the same grain count.
    const auto small = GrainAdjustment::plan(50, 100, 0, 500, 300);
    EXPECT_EQ(small->columnCells[499], 249);
}

TEST(GrainAdjustment, PlanValues) {
    PhotoParameters parameters;
    parameters.setValue(60, PhotoParameter::grain_size);
    EXPECT_FALSE(GrainAdjustment::plan(parameters, 100, 100)) << "size alone adds no grain";
    parameters.setValue(30, PhotoParameter::grain_amount);
    parameters.setValue(50, PhotoParameter::grain_roughness);
    const auto fromParameters = GrainAdjustment::plan(parameters, 100, 100);
    ASSERT_TRUE(fromParameters);
    EXPECT_DOUBLE_EQ(fromParameters->exponent, 0.7);
    EXPECT_EQ(fromParameters->columnCells[99], 353) << "99 / 100 * 1000 / 2.8";
    EXPECT_FALSE(GrainAdjustment::plan(0, 50, 50, 100, 100));
    EXPECT_FALSE(GrainAdjustment::plan(10, 50, 50, 100, 0));
    const auto plain = GrainAdjustment::plan(100, 0, 0, 10, 10);
    EXPECT_DOUBLE_EQ(plain->amplitude, 25.5);
    EXPECT_FALSE(plain->usesExponent);
    const auto rough = GrainAdjustment::plan(40, 0, 100, 10, 10);
    EXPECT_DOUBLE_EQ(rough->amplitude, 10.2);
    EXPECT_DOUBLE_EQ(rough->exponent, 0.4);
    EXPECT_TRUE(rough->usesExponent);
}

TEST(GrainAdjustment, GeneratorGivesItsKnownValues) {
    // Worked out by hand from the generator's definition, with 64-bit wrap-around.
    struct Case {
        std::int64_t column, row;
        std::uint32_t hash;
    };
    const Case cases[] = {
        {0, 0, 48293}, {1, 0, 18537}, {0, 1, 19531}, {999, 666, 55097}, {123456, 7890, 21614}};
    for (const Case& c : cases)
        EXPECT_EQ(GrainAdjustment::cellHash(c.column, c.row), c.hash);
}

TEST(GrainAdjustment, NoiseIsBoundedByTheAmplitudeAndCentred) {
    const auto plan = *GrainAdjustment::plan(100, 0, 0, 200, 200);
    double sum = 0;
    for (std::int64_t y = 0; y < 200; ++y) {
        for (std::int64_t x = 0; x < 200; ++x) {
            const double n = GrainAdjustment::noise(plan, x, y);
            ASSERT_LE(std::abs(n), 25.5);
            sum += n;
        }
    }
    EXPECT_LT(std::abs(sum / 40000), 0.5);
    // Roughness bends the curve but keeps the sign and the bound.
    const auto rough = *GrainAdjustment::plan(100, 0, 60, 200, 200);
    for (std::int64_t x = 0; x < 50; ++x) {
        const double smooth = GrainAdjustment::noise(plan, x, 3);
        const double bent = GrainAdjustment::noise(rough, x, 3);
        EXPECT_EQ(smooth < 0, bent < 0);
        EXPECT_GE(std::abs(bent), std::abs(smooth) - 1e-12);
    }
}

TEST(GrainAdjustment, SameGrainOnEveryRenderAndForEveryOrderOfRows) {
    const auto plan = *GrainAdjustment::plan(70, 35, 40, 97, 61);
    const auto first = grained(plan, 97, 61, 128);
    EXPECT_EQ(grained(*GrainAdjustment::plan(70, 35, 40, 97, 61), 97, 61, 128), first);
    // Rows done backwards, as bands finishing in another order would.
    std::vector<std::uint8_t> backwards(first.size(), 128);
    for (int y = 60; y >= 0; --y)
        GrainAdjustment::applyRow(backwards.data() + y * 97 * 4, y, 97, plan);
    EXPECT_EQ(backwards, first);
    // Every byte is its own value plus its cell's noise, rounded and clamped, on varied bytes too.
    std::vector<std::uint8_t> varied(first.size());
    for (std::size_t i = 0; i < varied.size(); ++i)
        varied[i] = static_cast<std::uint8_t>(i * 89 % 256);
    const std::vector<std::uint8_t> before = varied;
    for (int y = 0; y < 61; ++y)
        GrainAdjustment::applyRow(varied.data() + y * 97 * 4, y, 97, plan);
    for (int y = 0; y < 61; ++y) {
        for (int x = 0; x < 97; ++x) {
            const double n = GrainAdjustment::noise(plan, plan.columnCells[x], plan.rowCells[y]);
            const std::size_t i = static_cast<std::size_t>((y * 97 + x) * 4);
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(varied[i + c], std::clamp<long>(std::lround(n + before[i + c]), 0, 255))
                    << x << "," << y;
            ASSERT_EQ(varied[i + 3], before[i + 3]);
        }
    }
    // One noise value for the three channels of a pixel; alpha untouched.
    for (std::size_t i = 0; i < first.size(); i += 4) {
        EXPECT_EQ(first[i], first[i + 1]);
        EXPECT_EQ(first[i], first[i + 2]);
        EXPECT_EQ(first[i + 3], 128);
    }
}

TEST(GrainAdjustment, PipelineGivesTheSameGrainWhateverItsBands) {
    // 20 rows make 10 bands of 2, 37 rows 13 bands of 3 (the last of one row), 5 rows 5 bands of 1;
    // each result must equal the grain laid row by row in one go.
    PhotoParameters parameters;
    parameters.setValue(80, PhotoParameter::grain_amount);
    parameters.setValue(10, PhotoParameter::grain_size);
    parameters.setValue(30, PhotoParameter::grain_roughness);
    for (int height : {20, 37, 5}) {
        const int width = 53;
        PixelBuffer buffer(width, height);
        for (std::size_t i = 0; i < buffer.byteCount(); ++i)
            buffer.data()[i] = static_cast<std::uint8_t>(i * 7 % 251);
        const SharedImage image = makeImage(std::move(buffer));
        const SharedImage first =
            ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current());
        const SharedImage second =
            ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current());
        ASSERT_TRUE(first && second);
        PixelBuffer expected = image->copyPixels();
        const auto plan = *GrainAdjustment::plan(parameters, width, height);
        for (int y = 0; y < height; ++y)
            GrainAdjustment::applyRow(expected.row(y), y, width, plan);
        EXPECT_EQ(std::memcmp(first->data(), expected.data(), expected.byteCount()), 0) << height;
        EXPECT_EQ(std::memcmp(second->data(), first->data(), expected.byteCount()), 0) << height;
    }
}

// A part of a photo, cut and turned as an export cuts it, has the grain of the photo's pixel under
// each of its pixels: the cells of the same place of the whole photo.
TEST(GrainAdjustment, APartOfThePhotoHasThePhotosGrainUnderEachPixel) {
    const int width = 300, height = 200;
    const auto whole = *GrainAdjustment::plan(70, 30, 20, width, height);
    for (double rotation : {0.0, 90.0, -90.0, 5.0, -87.5}) {
        SCOPED_TRACE(rotation);
        const PixelSize turned = PhotoRotation::outputSize(width, height, rotation);
        const Rect part{17, 12, turned.width - 40.0, turned.height - 30.0};
        const auto placement = DevelopmentPlacement::ofTurnedPart(width, height, rotation, part, part);
        const auto plan = *GrainAdjustment::plan(70, 30, 20, static_cast<int>(part.width),
                                                 static_cast<int>(part.height), placement);
        int differing = 0;
        for (int y = 0; y < part.height; ++y)
            for (int x = 0; x < part.width; ++x) {
                const Point p = placement.photoPoint({x + 0.5, y + 0.5});
                differing += GrainAdjustment::noiseAt(plan, x, y) !=
                             GrainAdjustment::noiseAt(whole, static_cast<int>(std::floor(p.x)),
                                                      static_cast<int>(std::floor(p.y)));
            }
        EXPECT_EQ(differing, 0);
        // Row by row, as the development lays it, with what noiseAt gives.
        std::vector<std::uint8_t> grey(static_cast<std::size_t>(part.width) * 4, 128);
        const int y = static_cast<int>(part.height) / 2;
        GrainAdjustment::applyRow(grey.data(), y, static_cast<int>(part.width), plan);
        for (int x = 0; x < part.width; ++x)
            ASSERT_EQ(grey[4 * static_cast<std::size_t>(x)],
                      std::lround(128 + GrainAdjustment::noiseAt(plan, x, y)));
    }
}

} // namespace
} // namespace sorvin
