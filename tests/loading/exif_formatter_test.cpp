#include "loading/exif_formatter.hpp"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>

namespace sorvin {
namespace {

const std::string kDash = "\u2014";

TEST(ExifFormatterTest, CameraJoinsMakeAndModelUnlessTheModelRepeatsIt) {
    EXPECT_EQ(ExifFormatter::camera("NIKON", "NIKON D40"), "NIKON D40");
    EXPECT_EQ(ExifFormatter::camera("NIKON CORPORATION", "NIKON D40"), "NIKON CORPORATION NIKON D40");
    EXPECT_EQ(ExifFormatter::camera("Canon", "canon EOS 6D"), "Canon canon EOS 6D");
    EXPECT_EQ(ExifFormatter::camera("  Apple\n", std::nullopt), "Apple");
    EXPECT_EQ(ExifFormatter::camera(" Apple ", " iPhone 8 "), "Apple iPhone 8");
    EXPECT_EQ(ExifFormatter::camera(std::nullopt, " \t"), kDash);
    EXPECT_EQ(ExifFormatter::camera(std::nullopt, std::nullopt), kDash);
}

TEST(ExifFormatterTest, LensSpecificationNeedsFourPositiveFiniteValues) {
    using LensValues = std::optional<std::vector<double>>;
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({24, 70, 2.8, 2.8})), "24–70mm F2.8");
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({18, 55, 3.5, 5.6})), "18–55mm F3.5–5.6");
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({50, 50, 1.8, 1.8})), "50mm F1.8");
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({3.99, 3.99, 1.8, 1.8})), "4.0mm F1.8");
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({24, 70, 2.8})), std::nullopt);
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({24, 70, 0, 2.8})), std::nullopt);
    EXPECT_EQ(ExifFormatter::lensSpecification(LensValues({24, NAN, 2.8, 2.8})), std::nullopt);
    EXPECT_EQ(ExifFormatter::lensSpecification(std::nullopt), std::nullopt);
}

TEST(ExifFormatterTest, FocalLengthAndApertureRoundAsShown) {
    EXPECT_EQ(ExifFormatter::focalLength(50.0), "50 mm");
    EXPECT_EQ(ExifFormatter::focalLength(23.5), "24 mm");
    EXPECT_EQ(ExifFormatter::focalLength(std::nullopt), kDash);
    EXPECT_EQ(ExifFormatter::focalLength(1e300), kDash);
    EXPECT_EQ(ExifFormatter::aperture(2.0), "f/2");
    EXPECT_EQ(ExifFormatter::aperture(2.8), "f/2.8");
    EXPECT_EQ(ExifFormatter::aperture(5.66), "f/5.7");
    EXPECT_EQ(ExifFormatter::aperture(std::numeric_limits<double>::infinity()), kDash);
    EXPECT_EQ(ExifFormatter::aperture(1e300), kDash);
}

TEST(ExifFormatterTest, ShutterSpeedShowsFractionsBelowOneSecond) {
    struct Row {
        std::optional<double> seconds;
        std::string text;
    };
    const Row rows[] = {
        {0.004, "1/250 秒"}, {0.3, "1/3 秒"}, {0.6, "1/2 秒"},       {1.0 / 8000, "1/8000 秒"},
        {1, "1.0 秒"},       {2.5, "2.5 秒"}, {30, "30.0 秒"},       {0, kDash},
        {-1, kDash},         {NAN, kDash},    {std::nullopt, kDash}, {1e-300, kDash},
        {INFINITY, kDash},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ExifFormatter::shutterSpeed(row.seconds), row.text);
}

TEST(ExifFormatterTest, ExposureBiasKeepsItsSignAndMarksZero) {
    EXPECT_EQ(ExifFormatter::exposureBias(0.0), "±0.0 EV");
    EXPECT_EQ(ExifFormatter::exposureBias(-0.0), "±0.0 EV");
    EXPECT_EQ(ExifFormatter::exposureBias(0.3333), "+0.3 EV");
    EXPECT_EQ(ExifFormatter::exposureBias(-1), "-1.0 EV");
    EXPECT_EQ(ExifFormatter::exposureBias(0.04), "+0.0 EV");
    EXPECT_EQ(ExifFormatter::exposureBias(std::nullopt), kDash);
}

TEST(ExifFormatterTest, ExposureProgramNamesTheEightCodes) {
    const char* names[] = {"不明",           "マニュアル", "プログラム",   "絞り優先", "シャッター優先",
                           "クリエイティブ", "アクション", "ポートレート", "風景",     "不明"};
    for (int code = 0; code <= 9; ++code)
        EXPECT_EQ(ExifFormatter::exposureProgram(code), names[code]) << code;
    EXPECT_EQ(ExifFormatter::exposureProgram(std::nullopt), "不明");
    EXPECT_EQ(ExifFormatter::exposureProgram(-3), "不明");
}

TEST(ExifFormatterTest, CaptureDateIsRewrittenOrRefused) {
    EXPECT_EQ(ExifFormatter::captureDate("2024:05:01 09:30:15"), "2024-05-01 09:30:15");
    EXPECT_EQ(ExifFormatter::captureDate("2000:11:19 13:01:50"), "2000-11-19 13:01:50");
    EXPECT_EQ(ExifFormatter::captureDate("0000:00:00 00:00:00"), kDash);
    EXPECT_EQ(ExifFormatter::captureDate("                   "), kDash);
    EXPECT_EQ(ExifFormatter::captureDate("2024-05-01 09:30:15"), kDash);
    EXPECT_EQ(ExifFormatter::captureDate(std::nullopt), kDash);
}

TEST(ExifFormatterTest, ImageNumberIsGroupedByThousands) {
    EXPECT_EQ(ExifFormatter::imageNumber(12345), "12,345");
    EXPECT_EQ(ExifFormatter::imageNumber(987), "987");
    EXPECT_EQ(ExifFormatter::imageNumber(1000000), "1,000,000");
    EXPECT_EQ(ExifFormatter::imageNumber(-4321), "-4,321");
    EXPECT_EQ(ExifFormatter::imageNumber(3'000'000'000), "3,000,000,000");
    EXPECT_EQ(ExifFormatter::imageNumber(INT64_MIN), "-9,223,372,036,854,775,808");
    EXPECT_EQ(ExifFormatter::imageNumber(std::nullopt), std::nullopt);
}

TEST(ExifFormatterTest, ImageSizeIsUprightAndNeedsBothSides) {
    EXPECT_EQ(ExifFormatter::imageSize(6000, 4000, 6), "4000 × 6000");
    EXPECT_EQ(ExifFormatter::imageSize(6000, 4000, 8), "4000 × 6000");
    EXPECT_EQ(ExifFormatter::imageSize(6000, 4000, 3), "6000 × 4000");
    EXPECT_EQ(ExifFormatter::imageSize(6000, 4000, 0), "6000 × 4000");
    EXPECT_EQ(ExifFormatter::imageSize(0, 4000, 1), kDash);
    EXPECT_EQ(ExifFormatter::imageSize(6000, std::nullopt, 1), kDash);
}

TEST(ExifFormatterTest, FileSizeSwitchesToMegabytesAtOneMebibyte) {
    struct Row {
        std::int64_t bytes;
        std::string text;
    };
    const Row rows[] = {{0, "0 KB"},          {511, "0 KB"},       {512, "1 KB"},      {524288, "512 KB"},
                        {1048575, "1024 KB"}, {1048576, "1.0 MB"}, {2500000, "2.4 MB"}};
    for (const auto& row : rows)
        EXPECT_EQ(ExifFormatter::fileSize(row.bytes), row.text) << row.bytes;
    EXPECT_EQ(ExifFormatter::fileSize(std::nullopt), kDash);
}

} // namespace
} // namespace sorvin
