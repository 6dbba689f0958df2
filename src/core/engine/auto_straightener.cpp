#include "engine/auto_straightener.hpp"

#include "platform/area_resampler.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace sorvin {

namespace {

constexpr double kMaximumLongSide = 1024;
constexpr int kBinCount = 160;
constexpr double kBinWidth = 0.25;  // degrees
constexpr double kVoteRange = 20.0; // degrees either side of vertical
constexpr double kMinimumThreshold = 20.0;
constexpr double kThresholdPercentile = 0.8;
constexpr int kMinimumVotes = 1000;
constexpr double kMinimumPeakRatio = 2.5;
constexpr double kSecondaryDistance = 3.0; // degrees
constexpr double kMaximumSecondaryRatio = 0.8;
constexpr double kMaximumCorrection = 5.0;

double binCentre(int i) {
    return (i + 0.5) * kBinWidth - kVoteRange;
}

} // namespace

std::optional<AutoStraightener::GrayPixels> AutoStraightener::grayscalePixels(const Image& image) {
    const int longSide = std::max(image.width(), image.height());
    if (longSide < 1) return std::nullopt;
    const double scale = std::min(kMaximumLongSide / longSide, 1.0);
    const int width = std::max(1, static_cast<int>(std::round(image.width() * scale)));
    const int height = std::max(1, static_cast<int>(std::round(image.height() * scale)));
    // A non-owning handle: the reduced copy is made only when the size changes.
    const SharedImage source(std::shared_ptr<const Image>(), &image);
    const SharedImage reduced = AreaResampler::resize(source, width, height);
    if (!reduced) return std::nullopt;

    GrayPixels gray;
    gray.width = width;
    gray.height = height;
    gray.values.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = reduced->row(y);
        float* out = &gray.values[static_cast<std::size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            out[x] = 0.299f * row[4 * x] + 0.587f * row[4 * x + 1] + 0.114f * row[4 * x + 2];
        }
    }
    return gray;
}

std::vector<double> AutoStraightener::movingAverage(const std::vector<double>& values) {
    const int n = static_cast<int>(values.size());
    std::vector<double> smoothed(values.size());
    for (int i = 0; i < n; ++i) {
        const int lo = std::max(i - 1, 0);
        const int hi = std::min(i + 1, n - 1);
        double sum = 0;
        for (int j = lo; j <= hi; ++j)
            sum += values[static_cast<std::size_t>(j)];
        smoothed[static_cast<std::size_t>(i)] = sum / (hi - lo + 1);
    }
    return smoothed;
}

StraighteningAnalysis AutoStraightener::analyze(const Image& image) {
    StraighteningAnalysis result;
    std::optional<GrayPixels> gray;
    try {
        gray = grayscalePixels(image);
    } catch (const std::exception&) {
        gray.reset();
    }
    if (!gray) {
        result.rejection = StraighteningRejection::imageConversionFailed;
        return result;
    }
    const int w = gray->width;
    const int h = gray->height;
    if (w < 3 || h < 3) {
        result.rejection = StraighteningRejection::insufficientEdges;
        return result;
    }

    // Sobel gradients of the interior pixels.
    const int iw = w - 2;
    const int ih = h - 2;
    std::vector<float> gxs(static_cast<std::size_t>(iw) * ih);
    std::vector<float> gys(gxs.size());
    std::vector<float> magnitudes(gxs.size());
    const float* g = gray->values.data();
    for (int y = 1; y <= h - 2; ++y) {
        const float* above = g + static_cast<std::size_t>(y - 1) * w;
        const float* here = g + static_cast<std::size_t>(y) * w;
        const float* below = g + static_cast<std::size_t>(y + 1) * w;
        for (int x = 1; x <= w - 2; ++x) {
            const float gx = (above[x + 1] + 2 * here[x + 1] + below[x + 1]) -
                             (above[x - 1] + 2 * here[x - 1] + below[x - 1]);
            const float gy =
                (below[x - 1] + 2 * below[x] + below[x + 1]) - (above[x - 1] + 2 * above[x] + above[x + 1]);
            const std::size_t i = static_cast<std::size_t>(y - 1) * iw + (x - 1);
            gxs[i] = gx;
            gys[i] = gy;
            magnitudes[i] = std::sqrt(gx * gx + gy * gy);
        }
    }

    std::vector<float> sorted = magnitudes;
    const auto percentileIndex =
        static_cast<std::size_t>(std::floor(static_cast<double>(sorted.size() - 1) * kThresholdPercentile));
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(percentileIndex),
                     sorted.end());
    const double threshold = std::max(static_cast<double>(sorted[percentileIndex]), kMinimumThreshold);

    std::vector<double> histogram(kBinCount, 0.0);
    int count = 0;
    for (std::size_t i = 0; i < magnitudes.size(); ++i) {
        if (magnitudes[i] < threshold) continue;
        const double theta =
            std::atan2(static_cast<double>(gys[i]), static_cast<double>(gxs[i])) * 180.0 / std::numbers::pi;
        double folded = std::fmod(theta + 90.0, 180.0);
        if (folded < 0) folded += 180.0;
        const double a = folded - 90.0;
        if (std::fabs(a) > kVoteRange) continue;
        const int bin =
            std::clamp(static_cast<int>(std::floor((a + kVoteRange) / kBinWidth)), 0, kBinCount - 1);
        histogram[static_cast<std::size_t>(bin)] += magnitudes[i];
        ++count;
    }
    result.eligiblePixelCount = count;
    if (count < kMinimumVotes) {
        result.rejection = StraighteningRejection::insufficientEdges;
        return result;
    }

    const std::vector<double> smoothed = movingAverage(histogram);
    const int p = static_cast<int>(std::max_element(smoothed.begin(), smoothed.end()) - smoothed.begin());
    const double peak = smoothed[static_cast<std::size_t>(p)];
    double sum = 0;
    for (double v : smoothed)
        sum += v;
    const double mean = sum / kBinCount;
    result.peakRatio = mean > 0 ? peak / mean : 0;

    double offset = 0;
    if (p > 0 && p < kBinCount - 1) {
        const double l = smoothed[static_cast<std::size_t>(p - 1)];
        const double r = smoothed[static_cast<std::size_t>(p + 1)];
        const double d = l - 2 * peak + r;
        if (std::fabs(d) >= std::numeric_limits<double>::epsilon()) {
            offset = kBinWidth * std::clamp((l - r) * 0.5 / d, -1.0, 1.0);
        }
    }
    const double peakAngle = (p + 0.5) * kBinWidth - kVoteRange + offset;
    result.peakAngle = peakAngle;

    double secondary = 0;
    for (int i = 0; i < kBinCount; ++i) {
        if (std::fabs(binCentre(i) - peakAngle) >= kSecondaryDistance) {
            secondary = std::max(secondary, smoothed[static_cast<std::size_t>(i)]);
        }
    }
    result.secondaryPeakRatio = peak > 0 ? secondary / peak : 0;

    if (result.peakRatio < kMinimumPeakRatio) {
        result.rejection = StraighteningRejection::weakPeak;
    } else if (result.secondaryPeakRatio >= kMaximumSecondaryRatio) {
        result.rejection = StraighteningRejection::ambiguousPeak;
    } else {
        // std::round rounds halves away from zero; adding 0.0 turns -0 into 0.
        const double correction = std::round(-2.0 * peakAngle) / 2.0 + 0.0;
        if (std::fabs(correction) > kMaximumCorrection) {
            result.rejection = StraighteningRejection::excessiveAngle;
        } else {
            result.correction = correction;
        }
    }
    return result;
}

} // namespace sorvin
