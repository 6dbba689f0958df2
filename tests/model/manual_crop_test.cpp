#include "model/adjustment_badge_formatter.hpp"
#include "model/crop_key_command.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_edit_geometry.hpp"

#include <gtest/gtest.h>
#include <random>
#include <unordered_set>

namespace sorvin {
namespace {

ManualCrop crop(CropAspect aspect, int size, int x = 0, int y = 0) {
    return ManualCrop{aspect, size, x, y};
}

TEST(ManualCrop, MetricsAndGeometryOfTheWorkedExamples) {
    const ManualCrop full = crop(CropAspect::ratio(3, 2), 100);
    EXPECT_EQ(full.metrics(6000, 4000), (CropFrameMetrics{6000, 4000, 6000, 4000, 10000, 10000}));
    EXPECT_EQ(full.geometry(6000, 4000), (ManualCropGeometry{0, 0, 6000, 4000}));
    EXPECT_TRUE(full.fillsImage(6000, 4000));

    const ManualCrop square = crop(CropAspect::ratio(1, 1), 50, 9000, 0);
    EXPECT_EQ(square.metrics(6000, 4000), (CropFrameMetrics{4000, 4000, 2000, 2000, 3333, 5000}));
    EXPECT_EQ(square.clamped(6000, 4000).xM, 6667);
    EXPECT_EQ(square.geometry(6000, 4000), (ManualCropGeometry{4000, 0, 2000, 2000}));
    EXPECT_FALSE(square.fillsImage(6000, 4000));

    // 562.5 rounds up.
    EXPECT_EQ(crop(CropAspect::ratio(16, 9), 100).metrics(1000, 1000).frameHeight, 563);
    // An unreduced ratio gives the same rectangle as its reduced form.
    EXPECT_EQ(crop(CropAspect::ratio(4, 2), 70).geometry(999, 777),
              crop(CropAspect::ratio(2, 1), 70).geometry(999, 777));
}

TEST(ManualCrop, ClampingUsesTheLimitsOfTheCropAsHeldAndGeometryStillFits) {
    const ManualCrop tiny = crop(CropAspect::original(), 5, 9500, 0);
    const ManualCrop clamped = tiny.clamped(1000, 1000);
    EXPECT_EQ(clamped.sizeP, 10);
    EXPECT_EQ(clamped.xM, 9500);
    EXPECT_EQ(tiny.geometry(1000, 1000), (ManualCropGeometry{900, 0, 100, 100}));

    const ManualCrop valid = crop(CropAspect::ratio(3, 2), 60, 12000, -40);
    EXPECT_EQ(valid.clamped(4000, 3000).clamped(4000, 3000), valid.clamped(4000, 3000));
    EXPECT_EQ(valid.clamped(4000, 3000).yM, 0);
}

TEST(ManualCrop, ImageSidesBelowOneCountAsOne) {
    EXPECT_EQ(ManualCrop{}.geometry(0, -5), (ManualCropGeometry{0, 0, 1, 1}));
    EXPECT_TRUE(ManualCrop{}.fillsImage(0, 0));
}

TEST(ManualCrop, RatioPartsOutOfRangeCountAsTheOriginalAspect) {
    // A part below 1 would leave no rectangle to measure: it must not divide by zero.
    for (const CropAspect bad : {CropAspect::ratio(0, 3), CropAspect::ratio(3, 0), CropAspect::ratio(-2, 3),
                                 CropAspect::ratio(100, 1)}) {
        const ManualCrop c = crop(bad, 50, 1000, 1000);
        EXPECT_EQ(c.clamped(6000, 4000).aspect, CropAspect::original());
        EXPECT_EQ(c.geometry(6000, 4000), crop(CropAspect::original(), 50, 1000, 1000).geometry(6000, 4000));
        EXPECT_EQ(c.moved(CropDirection::down, 6000, 4000).aspect, CropAspect::original());
    }
    EXPECT_EQ(crop(CropAspect::ratio(0, 0), 40).metrics(300, 200),
              crop(CropAspect::original(), 40).metrics(300, 200));
}

TEST(ManualCrop, AbsurdHeldValuesStayInsideTheImage) {
    const ManualCrop absurd = crop(CropAspect::ratio(99, 1), INT32_MAX, INT32_MIN, INT32_MAX);
    const ManualCropGeometry g = absurd.geometry(INT32_MAX, 3);
    EXPECT_GE(g.x, 0);
    EXPECT_GE(g.width, 1);
    EXPECT_LE(g.y + g.height, 3);
}

TEST(ManualCrop, EveryEditOfAnyCropStaysInsideTheImage) {
    std::mt19937 random(20240601);
    const auto any = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int round = 0; round < 3000; ++round) {
        const int width = any(1, 9000);
        const int height = any(1, 9000);
        const ManualCrop held =
            crop(any(0, 3) == 0 ? CropAspect::original() : CropAspect::ratio(any(-1, 101), any(-1, 101)),
                 any(-20, 130), any(-500, 10500), any(-500, 10500));
        const std::vector<ManualCrop> edits{
            held,
            held.moved(static_cast<CropDirection>(any(0, 3)), width, height),
            held.resized(any(0, 120), width, height),
            held.changingAspect(CropAspect::ratio(any(1, 99), any(1, 99)), width, height),
            held.settingPixelX(any(-100, 10000), width, height),
            held.settingPixelY(any(-100, 10000), width, height)};
        for (const ManualCrop& c : edits) {
            const ManualCropGeometry g = c.geometry(width, height);
            ASSERT_GE(g.x, 0);
            ASSERT_GE(g.y, 0);
            ASSERT_GE(g.width, 1);
            ASSERT_GE(g.height, 1);
            ASSERT_LE(g.x + g.width, width);
            ASSERT_LE(g.y + g.height, height);
        }
        // From a crop whose aspect and size were valid, every edit gives a crop that clamping
        // leaves alone. (A size raised to 10 keeps the limits of the smaller crop for one step.)
        if (!held.aspect.isValid() || held.sizeP < 10 || held.sizeP > 100) continue;
        for (std::size_t i = 1; i < edits.size(); ++i) {
            ASSERT_TRUE(edits[i].aspect.isValid());
            ASSERT_EQ(edits[i].clamped(width, height), edits[i]) << i;
        }
    }
}

TEST(ManualCrop, MovingStepsOnePercentAndStopsAtTheEdges) {
    EXPECT_EQ(crop(CropAspect::original(), 50, 0, 50).moved(CropDirection::up, 6000, 4000).yM, 0);
    EXPECT_EQ(crop(CropAspect::original(), 50, 0, 50).moved(CropDirection::down, 6000, 4000).yM, 150);
    EXPECT_EQ(crop(CropAspect::original(), 50, 300, 0).moved(CropDirection::left, 6000, 4000).xM, 200);
    const ManualCrop atRightEdge = crop(CropAspect::ratio(1, 1), 50, 6667, 0);
    EXPECT_EQ(atRightEdge.moved(CropDirection::right, 6000, 4000), atRightEdge);
}

TEST(ManualCrop, ResizingKeepsTheCentre) {
    EXPECT_EQ(crop(CropAspect::original(), 50).resized(5, 6000, 4000).sizeP, 10);
    EXPECT_EQ(crop(CropAspect::original(), 50).resized(200, 6000, 4000).sizeP, 100);
    const ManualCrop offside = crop(CropAspect::ratio(1, 1), 50, 9000, 0);
    EXPECT_EQ(offside.resized(50, 6000, 4000), offside.clamped(6000, 4000));

    // Extents 5000 -> 8000: the edge moves back by half the difference.
    EXPECT_EQ(crop(CropAspect::original(), 50, 2500, 2500).resized(80, 6000, 4000),
              crop(CropAspect::original(), 80, 1000, 1000));
    // Extents from the unrounded frame: 3333 -> 3400 moves by 34 (half of 67, away from zero).
    EXPECT_EQ(crop(CropAspect::ratio(1, 1), 50, 3333, 2500).resized(51, 6000, 4000),
              crop(CropAspect::ratio(1, 1), 51, 3299, 2450));
    // Shrinking moves the edge the other way.
    EXPECT_EQ(crop(CropAspect::original(), 80, 1000, 1000).resized(50, 6000, 4000),
              crop(CropAspect::original(), 50, 2500, 2500));
}

TEST(ManualCrop, ChangingTheAspectCentresTheCrop) {
    const ManualCrop c =
        crop(CropAspect::original(), 50, 100, 100).changingAspect(CropAspect::ratio(1, 1), 6000, 4000);
    EXPECT_EQ(c, crop(CropAspect::ratio(1, 1), 50, 3333, 2500));
    // The same aspect keeps the position.
    EXPECT_EQ(c.changingAspect(CropAspect::ratio(1, 1), 6000, 4000), c);
    EXPECT_EQ(
        crop(CropAspect::original(), 50, 100, 100).changingAspect(CropAspect::original(), 6000, 4000).xM,
        100);
    // 2:1 is another aspect than 4:2 even though the rectangle is the same.
    EXPECT_EQ(crop(CropAspect::ratio(4, 2), 50, 0, 0).changingAspect(CropAspect::ratio(2, 1), 6000, 4000).xM,
              2500);
}

TEST(ManualCrop, SettingAnEdgeInPixels) {
    const ManualCrop square = crop(CropAspect::ratio(1, 1), 50, 3000, 1000);
    EXPECT_EQ(square.settingPixelX(-20, 6000, 4000).xM, 0);
    const ManualCrop flush = square.settingPixelX(99999, 6000, 4000);
    EXPECT_EQ(flush.geometry(6000, 4000).x, 4000);
    EXPECT_EQ(square.settingPixelX(1500, 6000, 4000).xM, 2500);
    EXPECT_EQ(square.settingPixelY(1000, 6000, 4000).yM, 2500);
    EXPECT_EQ(square.settingPixelY(99999, 6000, 4000).geometry(6000, 4000).y, 2000);
}

TEST(CropAspect, StorageTextsAcceptedAndRefused) {
    const std::vector<std::pair<std::string, CropAspect>> accepted{
        {"original", CropAspect::original()}, {"3:2", CropAspect::ratio(3, 2)},
        {"12:34", CropAspect::ratio(12, 34)}, {"4:2", CropAspect::ratio(4, 2)},
        {"1:99", CropAspect::ratio(1, 99)},   {"16:9", CropAspect::ratio(16, 9)},
    };
    for (const auto& [text, aspect] : accepted) {
        EXPECT_EQ(CropAspect::fromStorageText(text), aspect) << text;
        EXPECT_EQ(aspect.storageText(), text);
    }
    for (const char* text : {"03:2", "+3:2", "3:2:1", "3:", ":2", "0:1", "100:1", " 3:2", "3:2 ", "Original",
                             "", ":", "3", "-1:2", "3:02",
                             "3\xEF\xBC\x9A"
                             "2"}) {
        EXPECT_EQ(CropAspect::fromStorageText(text), std::nullopt) << text;
    }
    EXPECT_EQ(CropAspect::original().displayText(), "元のまま");
    EXPECT_EQ(CropAspect::ratio(3, 2).displayText(), "3:2");
    std::unordered_set<ManualCrop> crops{crop(CropAspect::ratio(4, 2), 50), crop(CropAspect::ratio(2, 1), 50),
                                         crop(CropAspect::original(), 50), crop(CropAspect::ratio(4, 2), 50)};
    EXPECT_EQ(crops.size(), 3u);
}

TEST(AdjustmentBadgeFormatter, ListsRatioSizeAndRotation) {
    EXPECT_EQ(AdjustmentBadgeFormatter::components(crop(CropAspect::ratio(3, 2), 80), -1.25),
              (std::vector<std::string>{"3:2", "80%", "-1.2°"}));
    EXPECT_EQ(AdjustmentBadgeFormatter::components(crop(CropAspect::original(), 55), 0.004),
              (std::vector<std::string>{"55%"}));
    EXPECT_EQ(AdjustmentBadgeFormatter::components(crop(CropAspect::original(), 100), 90),
              (std::vector<std::string>{"+90.0°"}));
    EXPECT_TRUE(AdjustmentBadgeFormatter::components(ManualCrop{}, 0).empty());
}

TEST(CropKeyCommand, ArrowKeysGiveDirections) {
    EXPECT_EQ(CropKeyCommand::direction(123), CropDirection::left);
    EXPECT_EQ(CropKeyCommand::direction(124), CropDirection::right);
    EXPECT_EQ(CropKeyCommand::direction(125), CropDirection::down);
    EXPECT_EQ(CropKeyCommand::direction(126), CropDirection::up);
    EXPECT_EQ(CropKeyCommand::direction(122), std::nullopt);
    EXPECT_EQ(CropKeyCommand::direction(49), std::nullopt);
}

TEST(PhotoEditGeometry, CropsToTheExactRectangleAndKeepsAWholeImage) {
    PixelBuffer buffer(10, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 10; ++x) {
            std::uint8_t* p = buffer.row(y) + x * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[3] = 255;
        }
    }
    const SharedImage image = makeImage(std::move(buffer));
    EXPECT_EQ(PhotoEditGeometry::croppedImage(image, ManualCrop{}), image);

    const ManualCrop half = crop(CropAspect::original(), 50, 5000, 2500);
    const SharedImage cut = PhotoEditGeometry::croppedImage(image, half);
    ASSERT_TRUE(cut);
    ASSERT_EQ(cut->width(), 5);
    ASSERT_EQ(cut->height(), 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(cut->row(y)[x * 4], 5 + x);
            EXPECT_EQ(cut->row(y)[x * 4 + 1], 2 + y);
        }
    }
    EXPECT_EQ(PhotoEditGeometry::croppedImage(nullptr, half), nullptr);
}

} // namespace
} // namespace sorvin
