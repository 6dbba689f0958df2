#include "model/development_placement.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/mask_weight_plan.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"
#include "support/test_images.hpp"

#include <cmath>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

// The turned photo's pixels lie where the placement says: quarter turns move whole pixels, a fine
// turn samples the photo at the point under each pixel's centre.
TEST(DevelopmentPlacementTest, APartOfTheTurnedPhotoLiesWhereTheTurnPutIt) {
    const SharedImage photo = test::coordinates(240, 160);
    for (double rotation : {0.0, 90.0, 180.0, -90.0, 5.0, -93.5}) {
        SCOPED_TRACE(rotation);
        const SharedImage turned = PhotoRotation::transformedImage(photo, rotation);
        ASSERT_TRUE(turned);
        const Rect part{11, 7, turned->width() - 30.0, turned->height() - 20.0};
        const auto placement = DevelopmentPlacement::ofTurnedPart(240, 160, rotation, part, part);
        const bool quarter = PhotoRotation::isNone(PhotoRotation::decomposed(rotation).residual);
        for (int y = 20; y < 100; y += 7)
            for (int x = 30; x < 120; x += 9) {
                const Point p = placement.photoPoint({x + 0.5, y + 0.5});
                const std::uint8_t* pixel = turned->row(y + 7) + 4 * static_cast<std::size_t>(x + 11);
                if (quarter) {
                    EXPECT_EQ(pixel[0], std::floor(p.x));
                    EXPECT_EQ(pixel[1], std::floor(p.y));
                } else {
                    EXPECT_NEAR(pixel[0], p.x - 0.5, 1);
                    EXPECT_NEAR(pixel[1], p.y - 0.5, 1);
                }
                const Point back = placement.bitmapPoint(p);
                EXPECT_NEAR(back.x, x + 0.5, 1e-9);
                EXPECT_NEAR(back.y, y + 0.5, 1e-9);
            }
    }
}

TEST(DevelopmentPlacementTest, TheWholePhotosPictureIsItsCropTurnedBack) {
    // No turn: the crop's centre as it is.
    const ManualCrop half{CropAspect::original(), 50, 10000, 0};
    const auto plain = DevelopmentPlacement::ofWholePhoto(400, 200, 0, half);
    EXPECT_EQ(plain.pictureCenter, (Point{300, 50}));
    EXPECT_EQ(plain.pictureSize, (Size{200, 100}));
    EXPECT_EQ(plain.origin, (Point{}));
    // A quarter turn clockwise: the top right of the turned photo is the top left of the photo.
    const auto turned = DevelopmentPlacement::ofWholePhoto(400, 200, 90, half);
    EXPECT_EQ(turned.pictureCenter, (Point{100, 50}));
    EXPECT_EQ(turned.pictureTurn, 90);
    // A part from (x, y) on lies there.
    EXPECT_EQ(turned.part(30, 40).origin, (Point{30, 40}));
    EXPECT_EQ(turned.part(30, 40).pictureCenter, turned.pictureCenter);
}

// A mask laid out on the photo weighs each pixel of a part of it as the photo's pixel there.
TEST(DevelopmentPlacementTest, APlacedMaskWeighsAsThePhotoUnderIt) {
    PhotoParameters circle;
    circle.setValue(100, PhotoParameter::circular_mask_amount);
    circle.setValue(700, PhotoParameter::circular_mask_center_x);
    circle.setValue(300, PhotoParameter::circular_mask_center_y);
    circle.setValue(60, PhotoParameter::circular_mask_aspect);
    circle.setValue(-30, PhotoParameter::circular_mask_angle);
    PhotoParameters band;
    band.setValue(100, PhotoParameter::linear_mask_amount);
    band.setValue(30, PhotoParameter::linear_mask_angle);
    band.setValue(40, PhotoParameter::linear_mask_position);
    const MaskWeightPlan plans[] = {
        {MaskKind::circular(), *CircularMaskPlan::makeIgnoringAmount(circle, 240, 160)},
        {MaskKind::linear(), *LinearMaskPlan::makeIgnoringAmount(band, 240, 160)},
        {MaskKind::circular(),
         MaskWeightPlan::Custom([](int x, int y) { return (x * 7 + y * 3) % 11 / 10.0; })},
    };
    for (double rotation : {0.0, 90.0, -90.0, 180.0}) {
        const PixelSize size = PhotoRotation::outputSize(240, 160, rotation);
        const Rect part{13, 9, size.width - 40.0, size.height - 30.0};
        const auto placement = DevelopmentPlacement::ofTurnedPart(240, 160, rotation, part, part);
        for (const MaskWeightPlan& plan : plans) {
            SCOPED_TRACE(rotation);
            const MaskWeightPlan placed = plan.placed(placement);
            for (int y = 0; y < part.height; y += 5)
                for (int x = 0; x < part.width; x += 3) {
                    const Point p = placement.photoPoint({x + 0.5, y + 0.5});
                    ASSERT_NEAR(
                        placed.weight(x, y),
                        plan.weight(static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y))),
                        1e-9)
                        << x << ", " << y;
                }
        }
    }
}

} // namespace
} // namespace sorvin
