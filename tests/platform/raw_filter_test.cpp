#include "platform/parallel_for.hpp"
#include "platform/raw_filter.hpp"
#include "support/damaged_files.hpp"
#include "support/picture_measures.hpp"
#include "support/raw_samples.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace sorvin {
namespace {

using test::kRawSamples;
using test::logChromaShift;
using test::psnr;
using test::RawSample;
using test::roughness;

std::array<double, 3> meanRgb(const Image& image) {
    std::array<double, 3> sum{};
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* row = image.row(y);
        for (int x = 0; x < image.width(); ++x) {
            for (int c = 0; c < 3; ++c)
                sum[c] += row[4 * x + c];
        }
    }
    for (double& s : sum)
        s /= static_cast<double>(image.width()) * image.height();
    return sum;
}

std::string contentOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first `kept` bytes of a file's content, written to `path`.
void writeCut(const std::filesystem::path& path, const std::string& content, std::size_t kept) {
    std::ofstream(path, std::ios::binary).write(content.data(), static_cast<std::streamsize>(kept));
}

// The mean absolute difference of two pictures of one size over their colour channels.
double meanDifference(const Image& a, const Image& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            for (int c = 0; c < 3; ++c)
                sum += std::abs(a.row(y)[4 * x + c] - b.row(y)[4 * x + c]);
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

SharedImage develop(const std::string& file, float scale, void (*adjust)(RawFilterProperties&) = nullptr) {
    auto filter = RawFilter::make(test::sample(file));
    if (!filter) return nullptr;
    filter->properties().scaleFactor = scale;
    if (adjust) adjust(filter->properties());
    return filter->outputImage();
}

TEST(RawFilterTest, EverySampleDevelopsOpaqueAtFullAndReducedSize) {
    for (const RawSample& sample : kRawSamples) {
        SCOPED_TRACE(sample.file);
        auto filter = RawFilter::make(test::sample(sample.file));
        ASSERT_NE(filter, nullptr);
        EXPECT_EQ(filter->nativeSize().width, sample.width);
        EXPECT_EQ(filter->nativeSize().height, sample.height);
        EXPECT_TRUE(filter->isColorNoiseReductionSupported());
        EXPECT_GT(filter->properties().neutralTemperature, 2000.0f);
        EXPECT_LT(filter->properties().neutralTemperature, 12000.0f);

        const SharedImage full = filter->outputImage();
        ASSERT_NE(full, nullptr);
        EXPECT_EQ(full->width(), sample.width);
        EXPECT_EQ(full->height(), sample.height);
        EXPECT_EQ(full->row(full->height() / 2)[4 * (full->width() / 2) + 3], 255);
        const auto mean = meanRgb(*full);
        EXPECT_GT(mean[1], 10.0) << "a real picture, not black";
        EXPECT_LT(mean[1], 245.0) << "a real picture, not white";

        // A preview below half size takes the half-size path and is then reduced.
        for (float scale : {0.5f, 0.3f, 0.05f}) {
            const SharedImage small = develop(sample.file, scale);
            ASSERT_NE(small, nullptr);
            EXPECT_EQ(small->width(), std::lround(sample.width * scale));
            EXPECT_EQ(small->height(), std::lround(sample.height * scale));
            EXPECT_NEAR(meanRgb(*small)[1], mean[1], 12.0) << "scale " << scale;
        }
    }
}

TEST(RawFilterTest, OrientationTurnsThePictureUpright) {
    const SharedImage stored = develop("raw/nikon_d1.nef", 0.05f);
    ASSERT_NE(stored, nullptr);
    const int w = stored->width();
    const int h = stored->height();
    // Where the stored picture's top-left, top-right and bottom-left corners end up.
    struct Row {
        int orientation;
        int topLeftX, topLeftY, topRightX, topRightY, bottomLeftX, bottomLeftY;
    };
    const Row rows[] = {
        {2, w - 1, 0, 0, 0, w - 1, h - 1}, {3, w - 1, h - 1, 0, h - 1, w - 1, 0},
        {4, 0, h - 1, w - 1, h - 1, 0, 0}, {5, 0, 0, 0, w - 1, h - 1, 0},
        {6, h - 1, 0, h - 1, w - 1, 0, 0}, {7, h - 1, w - 1, h - 1, 0, 0, w - 1},
        {8, 0, w - 1, 0, 0, h - 1, w - 1},
    };
    auto pixel = [](const Image& image, int x, int y) {
        const std::uint8_t* p = image.row(y) + 4 * x;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.orientation);
        static int orientation;
        orientation = row.orientation;
        const SharedImage turned =
            develop("raw/nikon_d1.nef", 0.05f, [](RawFilterProperties& p) { p.orientation = orientation; });
        ASSERT_NE(turned, nullptr);
        const bool swapped = row.orientation >= 5;
        EXPECT_EQ(turned->width(), swapped ? h : w);
        EXPECT_EQ(turned->height(), swapped ? w : h);
        EXPECT_EQ(pixel(*turned, row.topLeftX, row.topLeftY), pixel(*stored, 0, 0));
        EXPECT_EQ(pixel(*turned, row.topRightX, row.topRightY), pixel(*stored, w - 1, 0));
        EXPECT_EQ(pixel(*turned, row.bottomLeftX, row.bottomLeftY), pixel(*stored, 0, h - 1));
    }
}

TEST(RawFilterTest, SettingsMoveThePictureTheWayTheyAreNamed) {
    const std::string file = "raw/nikon_d1.nef";
    const auto base = meanRgb(*develop(file, 0.1f));

    const auto warmer =
        meanRgb(*develop(file, 0.1f, [](RawFilterProperties& p) { p.neutralTemperature *= 2; }));
    EXPECT_GT(warmer[0] / warmer[2], base[0] / base[2] * 1.2);
    const auto cooler =
        meanRgb(*develop(file, 0.1f, [](RawFilterProperties& p) { p.neutralTemperature /= 2; }));
    EXPECT_LT(cooler[0] / cooler[2], base[0] / base[2] / 1.2);

    const auto magenta = meanRgb(*develop(file, 0.1f, [](RawFilterProperties& p) { p.neutralTint += 50; }));
    EXPECT_LT(magenta[1] / (magenta[0] + magenta[2]), base[1] / (base[0] + base[2]));

    const auto brighter = meanRgb(*develop(file, 0.1f, [](RawFilterProperties& p) { p.exposure += 1; }));
    const auto darker = meanRgb(*develop(file, 0.1f, [](RawFilterProperties& p) { p.exposure -= 1; }));
    for (int c = 0; c < 3; ++c) {
        EXPECT_GT(brighter[c], base[c] + 15);
        EXPECT_LT(darker[c], base[c] - 15);
    }
}

TEST(RawFilterTest, AsShotWhiteBalanceIsTheCamerasOwn) {
    // The unchanged setting keeps the camera's multipliers: a second development is identical.
    const SharedImage a = develop("raw/nikon_d1.nef", 0.1f);
    const SharedImage b = develop("raw/nikon_d1.nef", 0.1f, [](RawFilterProperties& p) {
        p.neutralTemperature *= 1.0f;
        p.neutralTint += 0.0f;
    });
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(0, std::memcmp(a->data(), b->data(), a->byteCount()));
}

TEST(RawFilterTest, SharpeningRaisesLocalContrastOnlyWhenAsked) {
    const SharedImage soft = develop("raw/canon_eos_6d_linear_lossy.dng", 1.0f);
    const SharedImage sharp = develop("raw/canon_eos_6d_linear_lossy.dng", 1.0f,
                                      [](RawFilterProperties& p) { p.sharpnessAmount = 1; });
    ASSERT_NE(soft, nullptr);
    ASSERT_NE(sharp, nullptr);
    EXPECT_GT(roughness(*sharp), roughness(*soft) * 1.1);
}

// LibRaw's luminance noise reduction works on the sensor's half-size colour planes and expands
// them back before demosaicing. At full size and on the half-size path the picture keeps its size
// and stays the same picture, only calmer: read with the rows of the half-size planes, it would be
// sheared into stripes.
TEST(RawFilterTest, LuminanceNoiseReductionCalmsThePictureAtEverySize) {
    static float amount;
    for (const float scale : {1.0f, 0.5f}) {
        SCOPED_TRACE(scale);
        const SharedImage plain = develop("raw/nikon_d1.nef", scale);
        ASSERT_NE(plain, nullptr);
        for (const float reduction : {0.5f, 1.0f}) {
            SCOPED_TRACE(reduction);
            amount = reduction;
            const SharedImage calm = develop("raw/nikon_d1.nef", scale, [](RawFilterProperties& p) {
                p.luminanceNoiseReductionAmount = amount;
            });
            ASSERT_NE(calm, nullptr);
            ASSERT_EQ(calm->width(), plain->width());
            ASSERT_EQ(calm->height(), plain->height());
            const double difference = meanDifference(*calm, *plain);
            EXPECT_GT(difference, 0.2) << "the reduction changes the picture";
            EXPECT_LT(difference, 6.0) << "and keeps it the same picture";
            EXPECT_LT(roughness(*calm), roughness(*plain) * 0.97);
        }
    }
}

// ノイズ（輝度） on a Bayer file and on the same picture in an X-Trans pattern, whose 2 × 2 blocks may
// hold no red or no blue: its smallest step leaves the picture as it was (no halved resolution, no
// coloured fringes), and at its highest it calms the picture without a colour cast.
TEST(RawFilterTest, LuminanceNoiseReductionKeepsDetailAndColourOnEveryPattern) {
    static float amount;
    for (const char* file : {"raw/nikon_d1.nef", test::kXTransSample}) {
        SCOPED_TRACE(file);
        const SharedImage plain = develop(file, 1.0f);
        ASSERT_NE(plain, nullptr);
        const auto reduced = [&](float reduction) {
            amount = reduction;
            return develop(file, 1.0f,
                           [](RawFilterProperties& p) { p.luminanceNoiseReductionAmount = amount; });
        };
        const SharedImage smallest = reduced(0.01f);
        const SharedImage highest = reduced(1.0f);
        ASSERT_NE(smallest, nullptr);
        ASSERT_NE(highest, nullptr);
        ASSERT_EQ(highest->byteCount(), plain->byteCount());
        EXPECT_GE(psnr(*smallest, *plain), 40.0);
        EXPECT_LT(roughness(*highest), roughness(*plain) * 0.97) << "a visible reduction";
        EXPECT_LT(logChromaShift(*highest, *plain), 0.02);
    }
}

// An X-Trans file develops to the same pixels every time, at full size (an export, the loupe) and
// at half size (previews), also side by side with other developments.
TEST(RawFilterTest, AnXTransFileDevelopsToTheSamePixelsEveryTime) {
    for (const float scale : {1.0f, 0.5f}) {
        SCOPED_TRACE(scale);
        const auto developOnce = [scale] {
            return develop(test::kXTransSample, scale, [](RawFilterProperties& p) {
                p.luminanceNoiseReductionAmount = 0.5f;
                p.colorNoiseReductionAmount = 0.5f;
            });
        };
        std::vector<SharedImage> developed(4);
        parallelFor(std::size_t{0}, developed.size(), [&](std::size_t i) { developed[i] = developOnce(); });
        developed.push_back(developOnce());
        for (const SharedImage& image : developed) {
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(image->byteCount(), developed.front()->byteCount());
            EXPECT_EQ(std::memcmp(image->data(), developed.front()->data(), image->byteCount()), 0);
        }
    }
}

TEST(RawFilterTest, ColourNoiseReductionCalmsColourButKeepsGreen) {
    auto develop = [](float amount) {
        auto filter = RawFilter::make(test::sample("raw/blackmagic_pocket4k.dng"));
        filter->properties().scaleFactor = 0.5f;
        filter->properties().colorNoiseReductionAmount = amount;
        return filter->outputImage();
    };
    const SharedImage noisy = develop(0);
    const SharedImage calm = develop(1);
    ASSERT_NE(noisy, nullptr);
    ASSERT_NE(calm, nullptr);
    // Pixel-to-pixel change of red minus green, and of green alone.
    auto variation = [](const Image& image, bool chroma) {
        double sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            const std::uint8_t* row = image.row(y);
            for (int x = 1; x < image.width(); ++x) {
                const int a = chroma ? row[4 * x] - row[4 * x + 1] : row[4 * x + 1];
                const int b = chroma ? row[4 * x - 4] - row[4 * x - 3] : row[4 * x - 3];
                sum += std::abs(a - b);
            }
        }
        return sum;
    };
    EXPECT_LT(variation(*calm, true), variation(*noisy, true) * 0.8);
    EXPECT_NEAR(variation(*calm, false), variation(*noisy, false), variation(*noisy, false) * 0.02);
}

TEST(RawFilterTest, DamagedAndForeignFilesAreUnreadable) {
    for (const char* file : {"corrupt/truncated_leica_m10.dng", "corrupt/truncated_sony_zv-e10.arw",
                             "corrupt/unsupported_jxl_dng17_nikon_z9.dng", "corrupt/jpeg_content_named.nef",
                             "jpeg/nikon_d70s_gps_lens.jpg", "raw/no_such_file.nef"}) {
        SCOPED_TRACE(file);
        auto filter = RawFilter::make(test::sample(file));
        if (filter) {
            EXPECT_EQ(filter->outputImage(), nullptr);
        }
    }
}

TEST(RawFilterTest, EmptyFilesFoldersAndCutHeadersAreUnreadable) {
    test::TemporaryFolder folder;
    std::ofstream(folder / "empty.nef").close();
    EXPECT_EQ(RawFilter::make(folder / "empty.nef"), nullptr);
    EXPECT_EQ(RawFilter::make(folder.path()), nullptr);

    // The real NEF cut at several points: never a crash, never a picture from missing data.
    const std::string bytes = contentOf(test::sample("raw/nikon_d1.nef"));
    for (std::size_t cut : {std::size_t{16}, std::size_t{4096}, bytes.size() / 2}) {
        SCOPED_TRACE(cut);
        const auto path = folder / ("cut" + std::to_string(cut) + ".nef");
        writeCut(path, bytes, cut);
        auto filter = RawFilter::make(path);
        if (filter) {
            EXPECT_EQ(filter->outputImage(), nullptr);
        }
    }
}

// Strict reading, as an export does it, of every RAW sample of a kind the program opens: the whole
// file develops, whether its sensor data end the file (where compressed NEF, ORF and ARW readers
// look a byte past the end) or not; a copy cut short is refused as soon as the cut reaches the
// sensor data, also by whole 16 KiB blocks (Panasonic's data are read in blocks of that size), and
// one that lost only bytes after them develops the same picture.
TEST(RawFilterTest, RefusingDamageDevelopsWholeFilesAndRefusesEveryCutIntoTheSensorData) {
    // Where each sample's sensor data end, as its strips or tiles say.
    const std::map<std::string, std::uintmax_t> sensorDataEnd = {
        {"nikon_d1.nef", 4'055'474},
        {"constructed_nikon_compressed_nef_ends_file.nef", 2'283'408},
        {"constructed_olympus_compressed_orf_ends_file.orf", 2'783'356},
        {"constructed_om_system_orf_ends_file.orf", 2'783'356},
        {"magiclantern_canon_550d_uncompressed.dng", 3'906'864},
        {"blackmagic_pocket4k.dng", 3'359'558},
        {"canon_eos_6d_linear_lossy.dng", 411'943},
        {"constructed_panasonic_rw2_gf1_layout.rw2", 3'031'568},
        {"constructed_sony_a100_layout_small.arw", 3'212'752},
        {"constructed_fujifilm_xtrans_uncompressed.raf", 5'331'648},
    };
    const auto strict = [](const std::filesystem::path& file) -> SharedImage {
        auto filter = RawFilter::make(file, DamagedData::refused);
        if (!filter) return nullptr;
        filter->properties().scaleFactor = 0.25f;
        return filter->outputImage();
    };
    test::TemporaryFolder folder;
    std::size_t samples = 0;
    for (const auto& file : test::listedRawSamples()) {
        const std::string name = file.filename().string();
        SCOPED_TRACE(name);
        ASSERT_TRUE(sensorDataEnd.count(name)) << "a new sample needs its sensor data's end here";
        ++samples;
        const SharedImage whole = strict(file);
        ASSERT_TRUE(whole);
        const std::string bytes = contentOf(file);
        for (const std::size_t kept : {bytes.size() - 1, bytes.size() - 2, bytes.size() - 16,
                                       bytes.size() - 64, bytes.size() - 16384, bytes.size() / 2}) {
            SCOPED_TRACE(kept);
            const auto path = folder / (std::to_string(kept) + name);
            writeCut(path, bytes, kept);
            const SharedImage cut = strict(path);
            if (kept < sensorDataEnd.at(name)) {
                EXPECT_FALSE(cut);
            } else {
                ASSERT_TRUE(cut);
                ASSERT_EQ(cut->byteCount(), whole->byteCount());
                EXPECT_EQ(std::memcmp(cut->data(), whole->data(), whole->byteCount()), 0);
            }
        }
    }
    EXPECT_EQ(samples, sensorDataEnd.size());
}

// A lossy DNG whose third tile lost its picture data (zeros, the file's size unchanged): the JPEG
// library inside LibRaw only warns, and the screen shows the rest, but a filter refusing damaged
// data develops nothing.
// OM System bodies (since 2022) write Olympus's format under the maker name "OM Digital
// Solutions"; the same sensor data must develop to the same picture, on screen and for the export.
TEST(RawFilterTest, AnOmSystemFileDevelopsLikeTheSameOlympusFile) {
    for (const DamagedData damaged : {DamagedData::filledIn, DamagedData::refused}) {
        const auto developed = [damaged](const char* file) -> SharedImage {
            auto filter = RawFilter::make(test::sample(file), damaged);
            if (!filter) return nullptr;
            filter->properties().scaleFactor = 0.5f;
            return filter->outputImage();
        };
        const SharedImage olympus = developed("raw/constructed_olympus_compressed_orf_ends_file.orf");
        const SharedImage omSystem = developed("raw/constructed_om_system_orf_ends_file.orf");
        ASSERT_TRUE(olympus);
        ASSERT_TRUE(omSystem);
        ASSERT_EQ(omSystem->width(), olympus->width());
        ASSERT_EQ(omSystem->height(), olympus->height());
        EXPECT_EQ(std::memcmp(omSystem->data(), olympus->data(), olympus->byteCount()), 0);
    }
}

TEST(RawFilterTest, ALossyTileThatLostItsDataIsDamage) {
    test::TemporaryFolder folder;
    std::string bytes = contentOf(test::sample("raw/canon_eos_6d_linear_lossy.dng"));
    // The tile's offset and length as its IFD gives them; its scan data begin 381 bytes in.
    constexpr std::size_t tile = 283'954, length = 26'850, scan = 381;
    std::fill(bytes.begin() + tile + scan, bytes.begin() + tile + length - 2, '\0');
    const auto path = folder / "zeroed.dng";
    writeCut(path, bytes, bytes.size());
    for (const DamagedData damaged : {DamagedData::filledIn, DamagedData::refused}) {
        auto filter = RawFilter::make(path, damaged);
        ASSERT_TRUE(filter);
        filter->properties().scaleFactor = 0.25f;
        EXPECT_EQ(filter->outputImage() != nullptr, damaged == DamagedData::filledIn);
    }
}

// Sensor data the decoder never filled are no picture, for the screen nor for an export: a lossless
// DNG whose tiles, or only its third tile, hold no JPEG (LibRaw's decoder then stops without a word,
// leaving whatever the memory held), and an uncompressed DNG whose sensor values are all zeros.
TEST(RawFilterTest, SensorDataTheDecoderNeverFilledAreNoPicture) {
    test::TemporaryFolder folder;
    const auto noJpeg = test::damaged::losslessTilesWithoutJpeg();
    auto thirdTile = noJpeg;
    thirdTile.name = "lossless DNG whose third tile holds no JPEG";
    thirdTile.zeroedRanges = {noJpeg.zeroedRanges[2]};
    const test::damaged::Damage zeros{"uncompressed DNG of zeros",
                                      "raw/magiclantern_canon_550d_uncompressed.dng",
                                      0,
                                      false,
                                      {{1'536, 3'905'328}}};
    for (const auto& damage : {noJpeg, thirdTile, zeros}) {
        SCOPED_TRACE(damage.name);
        const auto path = folder / std::filesystem::path(damage.sample).filename();
        test::damaged::write(damage, path);
        for (const DamagedData damaged : {DamagedData::filledIn, DamagedData::refused}) {
            auto filter = RawFilter::make(path, damaged);
            ASSERT_TRUE(filter) << "its headers read well";
            filter->properties().scaleFactor = 0.25f;
            EXPECT_EQ(filter->outputImage(), nullptr);
        }
    }
}

// LibRaw and the JPEG library inside it report damaged files on their own, with the file's path;
// the program handles damage itself and prints nothing, whether it shows or refuses the file.
TEST(RawFilterTest, DamagedFilesPrintNothing) {
    test::TemporaryFolder folder;
    for (const auto& [name, cut] : {std::pair{"constructed_nikon_compressed_nef_ends_file.nef", 64},
                                    std::pair{"canon_eos_6d_linear_lossy.dng", 1000}}) {
        SCOPED_TRACE(name);
        const std::string bytes = contentOf(test::sample(std::string("raw/") + name));
        const auto path = folder / name;
        writeCut(path, bytes, bytes.size() - cut);
        for (const DamagedData damaged : {DamagedData::filledIn, DamagedData::refused}) {
            testing::internal::CaptureStderr();
            if (auto filter = RawFilter::make(path, damaged)) filter->outputImage();
            EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        }
    }
}

} // namespace
} // namespace sorvin
