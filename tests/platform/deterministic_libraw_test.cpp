#include "platform/deterministic_libraw.hpp"
#include "support/raw_samples.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <omp.h>
#include <vector>

namespace sorvin {
namespace {

TEST(DeterministicLibRawTest, PiecesGiveEveryRowOnceAndReadAWholeTileOnThePatternsPeriod) {
    for (const int length : {1, 511, 512, 999, 1000, 1324, 2012, 3264, 4000, 5152, 6240, 7728, 65535}) {
        SCOPED_TRACE(length);
        const auto spans = xtransPieceSpans(length);
        ASSERT_FALSE(spans.empty());
        if (spans.size() == 1) {
            EXPECT_LT(length, 1000);
            EXPECT_EQ(spans[0].readFrom, 0);
            EXPECT_EQ(spans[0].giveFrom, 0);
            EXPECT_EQ(spans[0].giveTo, length);
            EXPECT_EQ(spans[0].readTo, length);
            continue;
        }
        int given = 0;
        for (const PieceSpan& span : spans) {
            EXPECT_EQ(span.giveFrom, given);
            EXPECT_LT(span.giveFrom, span.giveTo);
            given = span.giveTo;
            EXPECT_EQ(span.readFrom % 6, 0);
            EXPECT_GE(span.readTo - span.readFrom, 512);
            EXPECT_LE(span.readFrom, span.giveFrom);
            EXPECT_GE(span.readTo, span.giveTo);
            EXPECT_LE(span.readTo, length);
            // A margin on every side that meets another piece, and none beyond the picture.
            EXPECT_EQ(span.giveFrom - span.readFrom, span.giveFrom == 0 ? 0 : 24);
            EXPECT_EQ(span.readTo - span.giveTo, span.giveTo == length ? 0 : 24);
        }
        EXPECT_EQ(given, length);
    }
}

struct Demosaiced {
    int width = 0;
    int height = 0;
    std::vector<std::array<unsigned short, 4>> pixels;
};

// The X-Trans sample's full-size development, as LibRaw's image after processing. The picture is
// cut to 1700 × 1300, where the boundaries between pieces lie apart from LibRaw's own tile seams.
Demosaiced develop(LibRaw& raw) {
    raw.imgdata.params.user_qual = 3;
    raw.imgdata.params.cropbox[2] = 1700;
    raw.imgdata.params.cropbox[3] = 1300;
    raw.imgdata.params.no_auto_bright = 1;
    if (raw.open_file(test::sample(test::kXTransSample).c_str()) != LIBRAW_SUCCESS ||
        raw.unpack() != LIBRAW_SUCCESS || raw.dcraw_process() != LIBRAW_SUCCESS)
        return {};
    const auto& sizes = raw.imgdata.sizes;
    Demosaiced out{sizes.iwidth, sizes.iheight, {}};
    out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
    std::memcpy(out.pixels.data(), raw.imgdata.image, out.pixels.size() * sizeof out.pixels[0]);
    return out;
}

// LibRaw's demosaic of a whole X-Trans picture on one thread reads, at the seams of its tiles,
// pixels its earlier tiles wrote; ours reads only the sensor's own. Away from those seams the two
// give the same pixels, also where our pieces meet, and at the seams they stay close.
TEST(DeterministicLibRawTest, PiecesGiveLibRawsOwnDemosaicAwayFromItsTileSeams) {
    const auto ours = std::make_unique<DeterministicLibRaw>(0);
    const Demosaiced pieces = develop(*ours);
    Demosaiced whole;
    {
        const int threads = omp_get_max_threads();
        omp_set_num_threads(1);
        const auto libRaw = std::make_unique<LibRaw>(0);
        whole = develop(*libRaw);
        omp_set_num_threads(threads);
    }
    ASSERT_EQ(whole.width, 1700);
    ASSERT_EQ(whole.height, 1300);
    ASSERT_EQ(pieces.width, whole.width);
    ASSERT_EQ(pieces.height, whole.height);

    // LibRaw's tiles start every 496 pixels from 3, in the whole picture and in each piece.
    const auto nearTileSeam = [](int length) {
        std::vector<bool> near(length);
        std::vector<int> starts{0};
        for (const PieceSpan& span : xtransPieceSpans(length))
            starts.push_back(span.readFrom);
        for (const int start : starts)
            for (int seam = start + 3 + 496; seam < length; seam += 496)
                for (int at = std::max(0, seam - 23); at < std::min(length, seam + 24); ++at)
                    near[at] = true;
        return near;
    };
    const std::vector<bool> rowNearSeam = nearTileSeam(whole.height);
    const std::vector<bool> columnNearSeam = nearTileSeam(whole.width);
    double squares = 0;
    int largestAway = 0;
    std::size_t samples = 0;
    for (int y = 0; y < whole.height; ++y) {
        for (int x = 0; x < whole.width; ++x) {
            const auto index = static_cast<std::size_t>(y) * whole.width + x;
            for (int c = 0; c < 3; ++c) {
                const int difference = pieces.pixels[index][c] - whole.pixels[index][c];
                squares += double(difference) * difference;
                ++samples;
                if (!rowNearSeam[y] && !columnNearSeam[x])
                    largestAway = std::max(largestAway, std::abs(difference));
            }
        }
    }
    const double psnr = 10 * std::log10(65535.0 * 65535.0 / (squares / samples));
    EXPECT_EQ(largestAway, 0);
    EXPECT_GT(psnr, 60.0);
}

} // namespace
} // namespace sorvin
