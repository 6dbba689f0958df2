#include "loading/exif_copy_text.hpp"
#include "loading/exif_display_values.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

ExifMetadata cameraMetadata() {
    ExifMetadata m;
    m.make = "Canon";
    m.model = "Canon EOS 6D";
    m.lensModel = " EF70-200mm f/4L IS USM ";
    m.lensSpecification = std::vector<double>{70, 200, 4, 4};
    m.focalLength = 200;
    m.focalLength35mm = 200;
    m.fNumber = 10;
    m.exposureTime = 1.0 / 640;
    m.iso = 200;
    m.exposureBias = 0;
    m.exposureProgram = 3;
    m.dateTimeOriginal = "2013:11:26 15:53:55";
    m.imageNumber = 12345;
    m.fileName = "elephants.jpg";
    m.pixelWidth = 600;
    m.pixelHeight = 400;
    m.orientation = 1;
    m.fileSize = 76715;
    m.bodySerialNumber = "012345";
    return m;
}

TEST(ExifDisplayValuesTest, WithoutMetadataOnlyTheRotationIsShown) {
    const ExifDisplayValues values(std::nullopt, 0);
    for (ExifCopyField field : kAllExifCopyFields) {
        if (field != ExifCopyField::rotation) {
            EXPECT_FALSE(values.value(field).has_value()) << rawValue(field);
        }
    }
    EXPECT_EQ(values.rotation, "0.0°");
    EXPECT_EQ(ExifDisplayValues(std::nullopt, -90).rotation, "-90.0°");
}

TEST(ExifDisplayValuesTest, FillsEveryFieldFromTheMetadata) {
    const ExifDisplayValues values(cameraMetadata(), 1.5);
    EXPECT_EQ(values.camera, "Canon EOS 6D");
    EXPECT_EQ(values.lens, "EF70-200mm f/4L IS USM");
    EXPECT_EQ(values.lensSpecification, "70–200mm F4");
    EXPECT_EQ(values.focalLength, "200 mm");
    EXPECT_EQ(values.focal35, "200 mm");
    EXPECT_EQ(values.aperture, "f/10");
    EXPECT_EQ(values.shutter, "1/640 秒");
    EXPECT_EQ(values.iso, "200");
    EXPECT_EQ(values.exposureComp, "±0.0 EV");
    EXPECT_EQ(values.exposureMode, "絞り優先");
    EXPECT_EQ(values.dateTime, "2013-11-26 15:53:55");
    EXPECT_EQ(values.imageNumber, "12,345");
    EXPECT_EQ(values.fileName, "elephants.jpg");
    EXPECT_EQ(values.pixelSize, "600 × 400");
    EXPECT_EQ(values.fileSize, "75 KB");
    EXPECT_EQ(values.bodySerial, "012345");
    EXPECT_EQ(values.lensSerial, std::nullopt);
    EXPECT_EQ(values.rotation, "+1.5°");
}

TEST(ExifDisplayValuesTest, DashesAndBlanksBecomeEmptyButAZeroShutterShowsTheDash) {
    ExifMetadata m;
    m.make = "  ";
    m.lensModel = "\u2014";
    m.fileName = " \n";
    m.pixelWidth = 0;
    m.pixelHeight = 10;
    m.dateTimeOriginal = "0000:00:00 00:00:00";
    m.exposureTime = 0;
    m.exposureProgram = 9;
    const ExifDisplayValues values(m, 0);
    EXPECT_EQ(values.camera, std::nullopt);
    EXPECT_EQ(values.lens, std::nullopt);
    EXPECT_EQ(values.fileName, std::nullopt);
    EXPECT_EQ(values.pixelSize, std::nullopt);
    EXPECT_EQ(values.dateTime, std::nullopt);
    EXPECT_EQ(values.fileSize, std::nullopt);
    EXPECT_EQ(values.shutter, "\u2014");
    EXPECT_EQ(values.exposureMode, "不明");
}

ExifDisplayValues defaultExample() {
    ExifDisplayValues values(std::nullopt, 0);
    values.camera = "C";
    values.lens = "L";
    values.lensSpecification = "24–70mm F2.8";
    values.focalLength = "50 mm";
    values.aperture = "f/2.8";
    values.shutter = "1/250 秒";
    values.iso = "400";
    values.exposureComp = "±0.0 EV";
    return values;
}

TEST(ExifCopyTextTest, DefaultSelectionGivesThreeLines) {
    EXPECT_EQ(ExifCopyText::make(defaultExample(), defaultExifCopySelection()),
              "C\nL（24–70mm F2.8）\n50 mm f/2.8 1/250 秒 ISO400 ±0EV");
}

TEST(ExifCopyTextTest, EveryFieldInThePanelOrderWhateverTheSelectionOrder) {
    ExifDisplayValues values(cameraMetadata(), 0);
    ExifCopyFieldSet all(kAllExifCopyFields.rbegin(), kAllExifCopyFields.rend());
    values.lensSerial = "L-9";
    EXPECT_EQ(ExifCopyText::make(values, all), "Canon EOS 6D\n"
                                               "EF70-200mm f/4L IS USM（70–200mm F4）\n"
                                               "200 mm 換算200mm f/10 1/640 秒 ISO200 ±0EV\n"
                                               "露出モード: 絞り優先\n"
                                               "2013-11-26 15:53:55\n"
                                               "撮影枚数: 12,345\n"
                                               "elephants.jpg\n"
                                               "600 × 400\n"
                                               "ファイルサイズ: 75 KB\n"
                                               "ボディS/N: 012345\n"
                                               "レンズS/N: L-9\n"
                                               "回転: 0.0°");
}

TEST(ExifCopyTextTest, LensSpecificationStandsAloneWithoutTheLens) {
    ExifDisplayValues values = defaultExample();
    EXPECT_EQ(ExifCopyText::make(values, {ExifCopyField::lensSpecification}), "24–70mm F2.8");
    values.lens.reset();
    EXPECT_EQ(ExifCopyText::make(values, {ExifCopyField::lens, ExifCopyField::lensSpecification}),
              "24–70mm F2.8");
    EXPECT_EQ(ExifCopyText::make(defaultExample(), {ExifCopyField::lens}), "L");
}

TEST(ExifCopyTextTest, ShootingLineItemsAreRewritten) {
    ExifDisplayValues values = defaultExample();
    values.iso = "iso 400";
    values.exposureComp = "+0.0 EV";
    EXPECT_EQ(ExifCopyText::make(values, {ExifCopyField::iso, ExifCopyField::exposureComp}),
              "iso 400 +0.0EV");
    values.exposureComp = "-1.3 EV";
    EXPECT_EQ(ExifCopyText::make(values, {ExifCopyField::exposureComp}), "-1.3EV");
}

TEST(ExifCopyTextTest, SingleLabelledFieldAndEmptyResults) {
    ExifDisplayValues values(std::nullopt, 0);
    values.exposureMode = "絞り優先";
    EXPECT_EQ(ExifCopyText::make(values, {ExifCopyField::exposureMode}), "露出モード: 絞り優先");
    EXPECT_EQ(ExifCopyText::make(defaultExample(), {}), "");
    EXPECT_EQ(ExifCopyText::make(ExifDisplayValues(std::nullopt, 0), defaultExifCopySelection()), "");
    EXPECT_EQ(ExifCopyText::make(ExifDisplayValues(std::nullopt, 0), {ExifCopyField::rotation}),
              "回転: 0.0°");
}

} // namespace
} // namespace sorvin
