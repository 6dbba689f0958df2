#include "engine/geometry_adjustment.hpp"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace sorvin {
namespace {

template <typename Pixel>
SharedImage imageOf(int width, int height, Pixel pixel) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto p = pixel(x, y);
            std::memcpy(buffer.row(y) + 4 * x, p.data(), 4);
        }
    }
    return makeImage(std::move(buffer));
}

SharedImage noiseImage(int width, int height, std::uint8_t alpha = 255) {
    std::mt19937 random(7);
    return imageOf(width, height, [&](int, int) {
        return std::array<std::uint8_t, 4>{std::uint8_t(random()), std::uint8_t(random()),
                                           std::uint8_t(random()), alpha};
    });
}

// Every channel equals the column (or the row), so a bilinear sample reads back its position.
SharedImage columnRamp(int width, int height) {
    return imageOf(width, height, [](int x, int) {
        return std::array<std::uint8_t, 4>{std::uint8_t(x), std::uint8_t(x), std::uint8_t(x), 255};
    });
}

const std::uint8_t* pixel(const SharedImage& image, int x, int y) {
    return image->row(y) + 4 * x;
}

bool samePixels(const SharedImage& a, const SharedImage& b) {
    return a->width() == b->width() && a->height() == b->height() &&
           std::memcmp(a->data(), b->data(), a->byteCount()) == 0;
}

TEST(GeometryAdjustment, UnchangedGeometryReproducesEveryPixelUpToTheBorders) {
    for (auto [width, height] :
         {std::pair{301, 199}, std::pair{8, 3}, std::pair{10, 199}, std::pair{64, 1}, std::pair{1, 1}}) {
        const SharedImage source = noiseImage(width, height);
        const SharedImage result = GeometryAdjustment::applying(source, GeometryValues{}, true);
        ASSERT_TRUE(result);
        EXPECT_TRUE(samePixels(result, source)) << width << "x" << height;
    }
}

TEST(GeometryAdjustment, OutputIsOpaqueAndOutsideIsBlack) {
    const SharedImage source = noiseImage(120, 80, 90);
    GeometryValues values;
    values.distortion = 100;
    const SharedImage result = GeometryAdjustment::applying(source, values, true);
    ASSERT_TRUE(result);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            ASSERT_EQ(pixel(result, x, y)[3], 255);
    // Outer pixels sample beyond the corners.
    EXPECT_EQ(std::memcmp(pixel(result, 0, 0), "\0\0\0\xff", 4), 0);
    EXPECT_EQ(std::memcmp(pixel(result, 119, 79), "\0\0\0\xff", 4), 0);
    // Zoom brings the corner back inside.
    values.zoom = 100;
    const SharedImage zoomed = GeometryAdjustment::applying(source, values, true);
    EXPECT_NE(std::memcmp(pixel(zoomed, 0, 0), "\0\0\0\xff", 4), 0);
}

TEST(GeometryAdjustment, VerticalPerspectiveWidensTheBottom) {
    GeometryValues values;
    values.perspectiveVertical = 100;
    const SharedImage result = GeometryAdjustment::applying(noiseImage(100, 100), values, false);
    EXPECT_EQ(std::memcmp(pixel(result, 0, 99), "\0\0\0\xff", 4), 0);
    EXPECT_NE(std::memcmp(pixel(result, 0, 0), "\0\0\0\xff", 4), 0);
}

TEST(GeometryAdjustment, AspectStretchesAlongOneAxisAndShrinksAlongTheOther) {
    GeometryValues values;
    values.aspect = 100;
    const SharedImage result = GeometryAdjustment::applying(columnRamp(201, 101), values, true);
    // Row 50 is the centre row (v = 0): columns sample 1 / 1.3 as far from column 100.
    for (int x : {0, 37, 100, 163, 200}) {
        const double source = 100 + (x - 100) / 1.3;
        EXPECT_EQ(pixel(result, x, 50)[0], static_cast<int>(std::lround(source))) << x;
    }
    // On the centre column rows sample 1.3 times as far: the top and bottom rows fall outside.
    EXPECT_EQ(pixel(result, 100, 0)[3], 255);
    EXPECT_EQ(pixel(result, 100, 0)[0], 0);
    EXPECT_EQ(pixel(result, 100, 50)[0], 100);
}

TEST(GeometryAdjustment, ChromaticRedSamplesRedFartherOut) {
    GeometryValues values;
    values.chromaticRed = 100;
    const SharedImage result = GeometryAdjustment::applying(columnRamp(201, 101), values, true);
    for (int x : {10, 60, 140, 190}) {
        const std::uint8_t* p = pixel(result, x, 50);
        EXPECT_EQ(p[0], static_cast<int>(std::lround(100 + (x - 100) * 1.004))) << x;
        EXPECT_EQ(p[1], x);
        EXPECT_EQ(p[2], x);
    }
    // 0.4 % beyond the outermost columns red has nothing to sample; green still has.
    EXPECT_EQ(pixel(result, 200, 50)[0], 0);
    EXPECT_EQ(pixel(result, 200, 50)[1], 200);
}

TEST(GeometryAdjustment, CropEqualsTheSameRegionOfTheWholeResult) {
    const SharedImage source = noiseImage(157, 93);
    const GeometryValues values{35, -60, 45, 20, -30, 15, 10};
    const SharedImage whole = GeometryAdjustment::applying(source, values, true);
    struct Case {
        Rect rect;
        int x, y, width, height;
    };
    const Case cases[] = {
        {{20, 10, 40, 30}, 20, 10, 40, 30},
        {{-20, -10, 50, 40}, 0, 0, 30, 30},     // half outside: the intersection only
        {{140, 80, 100, 100}, 140, 80, 17, 13}, // past the far corner
        {{10.5, 3.2, 20.1, 7.7}, 10, 3, 21, 8}, // made integral outwards
        {{60, 50, -20, -10}, 40, 40, 20, 10},   // negative sizes count from the other corner
        {{0, 0, 157, 93}, 0, 0, 157, 93},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.rect.x << "," << c.rect.y << " " << c.rect.width << "x" << c.rect.height);
        const SharedImage part = GeometryAdjustment::applyingCrop(source, c.rect, values, true);
        ASSERT_TRUE(part);
        ASSERT_EQ(part->width(), c.width);
        ASSERT_EQ(part->height(), c.height);
        for (int y = 0; y < c.height; ++y)
            ASSERT_EQ(
                std::memcmp(part->row(y), pixel(whole, c.x, c.y + y), 4 * static_cast<std::size_t>(c.width)),
                0)
                << "row " << y;
    }
}

TEST(GeometryAdjustment, RectangleMissingTheSourceGivesNoImage) {
    const SharedImage source = noiseImage(20, 20);
    EXPECT_FALSE(GeometryAdjustment::applyingCrop(source, {25, 0, 10, 10}, GeometryValues{}, true));
    EXPECT_FALSE(GeometryAdjustment::applyingCrop(source, {5, 5, 0, 10}, GeometryValues{}, true));
    EXPECT_FALSE(GeometryAdjustment::applyingCrop(source, {NAN, 0, 10, 10}, GeometryValues{}, true));
}

TEST(GeometryAdjustment, ParallelAndSerialAgree) {
    const SharedImage source = noiseImage(211, 77);
    const GeometryValues values{-40, 30, -70, -25, 40, -50, 30};
    EXPECT_TRUE(samePixels(GeometryAdjustment::applying(source, values, true),
                           GeometryAdjustment::applying(source, values, false)));
}

TEST(GeometryAdjustment, CancellationGivesNoImageEvenAfterTheLastRow) {
    const SharedImage source = noiseImage(30, 40);
    int calls = 0;
    // The probe answers true only when asked after all 40 rows are done.
    const auto lateProbe = [&] { return ++calls > 40; };
    EXPECT_FALSE(GeometryAdjustment::applying(source, GeometryValues{}, false, lateProbe));
    EXPECT_EQ(calls, 41);
    EXPECT_FALSE(GeometryAdjustment::applying(source, GeometryValues{}, true, [] { return true; }));
    // A probe that answers true once: the rows its band skipped must never come out.
    calls = 0;
    const auto blinkingProbe = [&] { return ++calls == 5; };
    EXPECT_FALSE(GeometryAdjustment::applying(source, GeometryValues{}, false, blinkingProbe));
}

} // namespace
} // namespace sorvin
