#include "model/orientation_transform.hpp"
#include "model/photo_rotation.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(PhotoRotation, DecompositionKeepsTheResidualBelowFortyFive) {
    const std::vector<std::pair<double, RotationDecomposition>> cases{
        {44.5, {0, 44.5}}, {45, {1, -45}},   {90, {1, 0}},      {-90, {3, 0}},        {-45, {0, -45}},
        {315, {0, -45}},   {135, {2, -45}},  {0, {0, 0}},       {359.75, {0, -0.25}}, {-180, {2, 0}},
        {720.5, {0, 0.5}}, {-1e-18, {0, 0}}, {-0.5, {0, -0.5}},
    };
    for (const auto& [angle, expected] : cases)
        EXPECT_EQ(PhotoRotation::decomposed(angle), expected) << angle;
}

TEST(PhotoRotation, NormalFormIsHalfDegreesInTheHalfOpenTurn) {
    const std::vector<std::pair<double, double>> cases{
        {0.26, 0.5},     {0.2, 0},         {-0.25, -0.5}, {180, -180}, {179.75, -180}, {270, -90},
        {-180.5, 179.5}, {-180.25, 179.5}, {540, -180},   {-720, 0},   {12.3, 12.5},
    };
    for (const auto& [angle, expected] : cases)
        EXPECT_EQ(PhotoRotation::normalized(angle), expected) << angle;
}

TEST(PhotoRotation, CropScaleAndOutputSize) {
    for (double quarter : {0.0, 90.0, 180.0, 270.0, -90.0, 360.0}) {
        EXPECT_EQ(PhotoRotation::cropScale(6000, 4000, quarter), 1.0);
    }
    EXPECT_EQ(PhotoRotation::outputSize(6000, 4000, 90), (PixelSize{4000, 6000}));
    EXPECT_EQ(PhotoRotation::outputSize(6000, 4000, 180), (PixelSize{6000, 4000}));
    EXPECT_NEAR(PhotoRotation::cropScale(1000, 1000, 45), 1 / std::sqrt(2.0), 1e-12);
    EXPECT_EQ(PhotoRotation::outputSize(1000, 1000, 45), (PixelSize{707, 707}));
    EXPECT_NEAR(PhotoRotation::cropScale(6000, 4000, 2), 0.9508, 1e-4);
    EXPECT_EQ(PhotoRotation::outputSize(6000, 4000, 2), (PixelSize{5705, 3803}));
    // A quarter turn plus a residual measures the cut in the turned picture.
    EXPECT_EQ(PhotoRotation::outputSize(6000, 4000, 92), (PixelSize{3803, 5705}));
    EXPECT_EQ(PhotoRotation::outputSize(6000, 4000, 0.005), (PixelSize{6000, 4000}));
}

TEST(PhotoRotation, DisplayText) {
    EXPECT_EQ(PhotoRotation::displayText(1.5, false), "+1.5°");
    EXPECT_EQ(PhotoRotation::displayText(-0.5, false), "-0.5°");
    EXPECT_EQ(PhotoRotation::displayText(0, true), "0.0°");
    EXPECT_EQ(PhotoRotation::displayText(0.004, false), std::nullopt);
    EXPECT_EQ(PhotoRotation::displayText(0.004, true), "+0.0°");
    EXPECT_EQ(PhotoRotation::displayText(-90, false), "-90.0°");
}

SharedImage solid(int width, int height, std::array<std::uint8_t, 4> rgba) {
    PixelBuffer buffer(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            std::copy(rgba.begin(), rgba.end(), buffer.row(y) + x * 4);
    }
    return makeImage(std::move(buffer));
}

bool samePixels(const Image& a, const Image& b) {
    return a.width() == b.width() && a.height() == b.height() &&
           std::equal(a.data(), a.data() + a.byteCount(), b.data());
}

TEST(PhotoRotation, NoRotationAndQuarterTurnsMovePixelsExactly) {
    PixelBuffer buffer(5, 3);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = static_cast<std::uint8_t>(i);
    const SharedImage image = makeImage(std::move(buffer));
    EXPECT_EQ(PhotoRotation::transformedImage(image, 0.005), image);
    EXPECT_EQ(PhotoRotation::transformedImage(image, 360), image);
    EXPECT_TRUE(samePixels(*PhotoRotation::transformedImage(image, 90),
                           *OrientationTransform::transformedImage(image, 6)));
    EXPECT_TRUE(samePixels(*PhotoRotation::transformedImage(image, -180),
                           *OrientationTransform::transformedImage(image, 3)));
    EXPECT_TRUE(samePixels(*PhotoRotation::transformedImage(image, 270),
                           *OrientationTransform::transformedImage(image, 8)));
}

TEST(PhotoRotation, ResidualRotationFillsTheWholeCutWithPicture) {
    const SharedImage image = solid(120, 80, {40, 80, 120, 255});
    for (double angle : {2.0, -30.0, 44.9, 137.0}) {
        const SharedImage rotated = PhotoRotation::transformedImage(image, angle);
        ASSERT_TRUE(rotated) << angle;
        EXPECT_EQ((PixelSize{rotated->width(), rotated->height()}),
                  PhotoRotation::outputSize(120, 80, angle));
        // A flat picture stays flat: the weights sum to one and no corner is left empty.
        for (int y = 0; y < rotated->height(); ++y) {
            for (int x = 0; x < rotated->width(); ++x) {
                const std::uint8_t* p = rotated->row(y) + x * 4;
                ASSERT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{40, 80, 120, 255}))
                    << angle << " " << x << "," << y;
            }
        }
    }
}

TEST(PhotoRotation, PositiveAnglesTurnClockwise) {
    // A bright horizontal bar through the middle; turned clockwise its right end goes down.
    PixelBuffer buffer(200, 100);
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x) {
            std::uint8_t* p = buffer.row(y) + x * 4;
            const std::uint8_t value = (y >= 48 && y < 52) ? 255 : 0;
            p[0] = p[1] = p[2] = value;
            p[3] = 255;
        }
    }
    const SharedImage rotated = PhotoRotation::transformedImage(makeImage(std::move(buffer)), 10);
    ASSERT_TRUE(rotated);
    const auto brightestRow = [&](int x) {
        int best = 0;
        for (int y = 0; y < rotated->height(); ++y) {
            if (rotated->row(y)[x * 4] > rotated->row(best)[x * 4]) best = y;
        }
        return best;
    };
    const int centre = rotated->height() / 2;
    EXPECT_GT(brightestRow(rotated->width() * 3 / 4), centre + 5);
    EXPECT_LT(brightestRow(rotated->width() / 4), centre - 5);
}

TEST(PhotoRotation, PremultipliedColourNeverExceedsAlpha) {
    // Sharp edges between transparent and opaque make the cubic kernel overshoot.
    PixelBuffer buffer(40, 40);
    for (int y = 0; y < 40; ++y) {
        for (int x = (y % 2) * 3; x < 40; x += 6) {
            std::uint8_t* p = buffer.row(y) + x * 4;
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    }
    const SharedImage rotated = PhotoRotation::transformedImage(makeImage(std::move(buffer)), 17);
    ASSERT_TRUE(rotated);
    for (std::size_t i = 0; i < rotated->byteCount(); i += 4) {
        const std::uint8_t* p = rotated->data() + i;
        ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]);
    }
}

TEST(PhotoRotation, ACutWithoutPixelsGivesNoImage) {
    // 1000 x 1 turned by 45 degrees (a quarter turn less 45) keeps a 0 x 1 rectangle.
    EXPECT_EQ(PhotoRotation::outputSize(1000, 1, 45), (PixelSize{0, 1}));
    EXPECT_EQ(PhotoRotation::transformedImage(solid(1000, 1, {1, 2, 3, 255}), 45), nullptr);
    EXPECT_EQ(PhotoRotation::transformedImage(nullptr, 10), nullptr);
}

} // namespace
} // namespace sorvin
