#include "platform/luminance_wavelet_denoise.hpp"

#include "platform/parallel_for.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <tbb/blocked_range.h>
#include <vector>

namespace sorvin::LuminanceWaveletDenoise {

namespace {

// The standard deviation of each scale's detail under the [1 2 1] / 4 filter with holes, for white
// noise of standard deviation 1: the finest scale carries most of it.
constexpr std::array<float, 5> kNoiseShare = {0.8002f, 0.2735f, 0.1202f, 0.0585f, 0.0291f};
// Rec. 709 luminance of linear sRGB primaries.
constexpr float kRed = 0.2126f, kGreen = 0.7152f, kBlue = 0.0722f;
// The square-root scale spans 0 … 65536 over 16-bit values.
constexpr float kRootScale = 256.0f;
// Columns smoothed together by one task of the vertical pass.
constexpr int kColumnBlock = 64;

// Index i mirrored into 0 … n - 1 about the picture's edges (a step wider than the picture stops
// at its far edge).
inline int mirrored(int i, int n) {
    if (i < 0) i = -i;
    if (i >= n) i = 2 * (n - 1) - i;
    return std::clamp(i, 0, n - 1);
}

// Soft threshold: values within ±t become 0, others move t towards 0.
inline float shrunk(float v, float t) {
    return v > t ? v - t : v < -t ? v + t : 0.0f;
}

} // namespace

void apply(std::uint16_t (*image)[4], int stride, int width, int height, float threshold) {
    if (!(threshold > 0) || width < 1 || height < 1) return;
    const auto w = static_cast<std::size_t>(width);
    const std::size_t size = w * static_cast<std::size_t>(height);
    auto pixel = [&](int x, int y) { return image[static_cast<std::size_t>(y) * stride + x]; };

    // base: the approximation still to be split; smooth: its next, smoother approximation;
    // calmed: the sum of the thresholded details.
    std::vector<float> base(size), smooth(size), calmed(size, 0.0f);
    parallelFor(0, height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            const std::uint16_t* p = pixel(x, y);
            base[y * w + x] = kRootScale * std::sqrt(kRed * p[0] + kGreen * p[1] + kBlue * p[2]);
        }
    });

    for (std::size_t level = 0; level < kNoiseShare.size(); ++level) {
        const int step = 1 << level;
        // Across, from base into smooth.
        parallelFor(0, height, [&](int y) {
            const float* in = &base[y * w];
            float* out = &smooth[y * w];
            for (int x = 0; x < width; ++x)
                out[x] =
                    0.25f * (in[mirrored(x - step, width)] + in[mirrored(x + step, width)]) + 0.5f * in[x];
        });
        // Down, within smooth, a block of columns at a time.
        parallelFor(tbb::blocked_range<int>(0, width, kColumnBlock), [&](const tbb::blocked_range<int>& r) {
            const int columns = r.end() - r.begin();
            std::vector<float> column(static_cast<std::size_t>(columns) * height);
            for (int y = 0; y < height; ++y)
                std::copy_n(&smooth[y * w + r.begin()], columns,
                            &column[static_cast<std::size_t>(y) * columns]);
            for (int y = 0; y < height; ++y) {
                const float* above = &column[static_cast<std::size_t>(mirrored(y - step, height)) * columns];
                const float* here = &column[static_cast<std::size_t>(y) * columns];
                const float* below = &column[static_cast<std::size_t>(mirrored(y + step, height)) * columns];
                float* out = &smooth[y * w + r.begin()];
                for (int i = 0; i < columns; ++i)
                    out[i] = 0.25f * (above[i] + below[i]) + 0.5f * here[i];
            }
        });
        const float t = threshold * kNoiseShare[level];
        parallelFor(tbb::blocked_range<std::size_t>(0, size, 1 << 16),
                    [&](const tbb::blocked_range<std::size_t>& r) {
                        for (std::size_t i = r.begin(); i < r.end(); ++i)
                            calmed[i] += shrunk(base[i] - smooth[i], t);
                    });
        base.swap(smooth);
    }

    // Each pixel scaled by its luminance's change, no channel beyond white.
    parallelFor(0, height, [&](int y) {
        for (int x = 0; x < width; ++x) {
            std::uint16_t* p = pixel(x, y);
            const float before = kRed * p[0] + kGreen * p[1] + kBlue * p[2];
            if (!(before > 0)) continue;
            const float root = std::max(0.0f, calmed[y * w + x] + base[y * w + x]) / kRootScale;
            const int brightest = std::max({p[0], p[1], p[2]});
            const float factor = std::min(root * root / before, 65535.0f / static_cast<float>(brightest));
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint16_t>(std::min(65535.0f, p[c] * factor + 0.5f));
        }
    });
}

} // namespace sorvin::LuminanceWaveletDenoise
