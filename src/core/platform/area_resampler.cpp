#include "platform/area_resampler.hpp"

#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

AreaResampler::AxisWeights AreaResampler::axisWeights(int sourceLength, int targetLength) {
    AxisWeights w;
    w.first.reserve(static_cast<std::size_t>(targetLength));
    w.count.reserve(static_cast<std::size_t>(targetLength));
    w.offset.reserve(static_cast<std::size_t>(targetLength));
    const double step = static_cast<double>(sourceLength) / targetLength;
    for (int i = 0; i < targetLength; ++i) {
        const double lo = i * step;
        const double hi = std::min<double>((i + 1) * step, sourceLength);
        const int a = std::clamp(static_cast<int>(lo), 0, sourceLength - 1);
        const int b = std::clamp(static_cast<int>(std::ceil(hi)), a + 1, sourceLength);
        auto cover = [&](int s) {
            return std::max(0.0, std::min<double>(s + 1, hi) - std::max<double>(s, lo));
        };
        double total = 0;
        for (int s = a; s < b; ++s)
            total += cover(s);
        w.first.push_back(a);
        w.count.push_back(b - a);
        w.offset.push_back(w.weights.size());
        for (int s = a; s < b; ++s) {
            w.weights.push_back(static_cast<float>(total > 0 ? cover(s) / total : 1.0 / (b - a)));
        }
    }
    return w;
}

SharedImage AreaResampler::resize(const SharedImage& image, int width, int height) {
    if (!image) return nullptr;
    if (image->width() == width && image->height() == height) return image;
    const int sourceWidth = image->width();
    const AxisWeights wx = axisWeights(sourceWidth, width);
    const AxisWeights wy = axisWeights(image->height(), height);
    PixelBuffer out = PixelBuffer::forOverwrite(width, height);
    parallelFor(tbb::blocked_range<int>(0, height, 16), [&](const tbb::blocked_range<int>& rows) {
        std::vector<float> column(static_cast<std::size_t>(sourceWidth) * 4);
        for (int ty = rows.begin(); ty < rows.end(); ++ty) {
            std::fill(column.begin(), column.end(), 0.0f);
            for (int k = 0; k < wy.count[ty]; ++k) {
                const float weight = wy.weights[wy.offset[ty] + k];
                const std::uint8_t* in = image->row(wy.first[ty] + k);
                for (std::size_t i = 0; i < column.size(); ++i)
                    column[i] += weight * in[i];
            }
            std::uint8_t* row = out.row(ty);
            for (int tx = 0; tx < width; ++tx) {
                float sum[4] = {0, 0, 0, 0};
                for (int k = 0; k < wx.count[tx]; ++k) {
                    const float weight = wx.weights[wx.offset[tx] + k];
                    const float* px = &column[4 * static_cast<std::size_t>(wx.first[tx] + k)];
                    for (int c = 0; c < 4; ++c)
                        sum[c] += weight * px[c];
                }
                for (int c = 0; c < 4; ++c) {
                    row[4 * tx + c] = static_cast<std::uint8_t>(std::clamp(sum[c] + 0.5f, 0.0f, 255.0f));
                }
            }
        }
    });
    return makeImage(std::move(out));
}

} // namespace sorvin
