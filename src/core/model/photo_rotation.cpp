#include "model/photo_rotation.hpp"

#include "model/orientation_transform.hpp"
#include "platform/draw_or_none.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <numbers>
#include <tbb/blocked_range.h>

namespace sorvin {

namespace {

// The orientation whose pixel move equals t clockwise quarter turns.
constexpr std::array<int, 4> kOrientationOfQuarterTurns{1, 6, 3, 8};

// Catmull-Rom weights of the four taps around a sample at fraction t past the second tap.
std::array<float, 4> cubicWeights(float t) {
    const float t2 = t * t;
    const float t3 = t2 * t;
    return {(-t3 + 2 * t2 - t) * 0.5f, (3 * t3 - 5 * t2 + 2) * 0.5f, (-3 * t3 + 4 * t2 + t) * 0.5f,
            (t3 - t2) * 0.5f};
}

int floorToInt(double value) {
    const int truncated = static_cast<int>(value);
    return value < truncated ? truncated - 1 : truncated;
}

std::uint8_t toByte(float value, float ceiling) {
    // Round half up after clamping; premultiplied colour never exceeds its alpha.
    return static_cast<std::uint8_t>(std::clamp(value, 0.0f, ceiling) + 0.5f);
}

// Draws `source` turned clockwise by `degrees` about its centre into a width x height bitmap
// centred on it. Each output pixel is sampled with Catmull-Rom bicubic interpolation (sharper than
// bilinear, without the ringing of longer kernels); taps beyond the picture repeat its edge,
// so the thin rim that rounding of the output size can leave shows picture, never a gap.
SharedImage rotatedImage(const Image& source, double degrees, int width, int height) {
    PixelBuffer out(width, height); // transparent black until drawn
    const double theta = degrees * std::numbers::pi / 180.0;
    const double cosine = std::cos(theta);
    const double sine = std::sin(theta);
    const int sw = source.width();
    const int sh = source.height();
    const double outCentreX = width / 2.0;
    const double outCentreY = height / 2.0;
    const double sourceCentreX = sw / 2.0;
    const double sourceCentreY = sh / 2.0;

    parallelFor(tbb::blocked_range<int>(0, height, 16), [&](const tbb::blocked_range<int>& rows) {
        for (int y = rows.begin(); y != rows.end(); ++y) {
            std::uint8_t* to = out.row(y);
            const double dy = y + 0.5 - outCentreY;
            for (int x = 0; x < width; ++x, to += 4) {
                const double dx = x + 0.5 - outCentreX;
                // Inverse of the clockwise turn (y grows downwards), in source pixel-centre units.
                const double u = sourceCentreX + dx * cosine + dy * sine - 0.5;
                const double v = sourceCentreY - dx * sine + dy * cosine - 0.5;
                const int iu = floorToInt(u);
                const int iv = floorToInt(v);
                const auto wx = cubicWeights(static_cast<float>(u - iu));
                const auto wy = cubicWeights(static_cast<float>(v - iv));
                std::array<const std::uint8_t*, 4> tapRows;
                std::array<int, 4> tapColumns;
                for (int k = 0; k < 4; ++k) {
                    tapRows[k] = source.row(std::clamp(iv - 1 + k, 0, sh - 1));
                    tapColumns[k] = std::clamp(iu - 1 + k, 0, sw - 1) * 4;
                }
                float sum[4] = {0, 0, 0, 0};
                for (int j = 0; j < 4; ++j) {
                    float line[4] = {0, 0, 0, 0};
                    for (int i = 0; i < 4; ++i) {
                        const std::uint8_t* pixel = tapRows[j] + tapColumns[i];
                        for (int channel = 0; channel < 4; ++channel)
                            line[channel] += wx[i] * pixel[channel];
                    }
                    for (int channel = 0; channel < 4; ++channel)
                        sum[channel] += wy[j] * line[channel];
                }
                const std::uint8_t alpha = toByte(sum[3], 255.0f);
                to[0] = toByte(sum[0], alpha);
                to[1] = toByte(sum[1], alpha);
                to[2] = toByte(sum[2], alpha);
                to[3] = alpha;
            }
        }
    });
    return makeImage(std::move(out));
}

} // namespace

bool PhotoRotation::isNone(double degrees) {
    return std::abs(degrees) < kNoRotation;
}

RotationDecomposition PhotoRotation::decomposed(double degrees) {
    if (!std::isfinite(degrees)) return {};
    double r = std::fmod(degrees, 360.0);
    if (r < 0) r += 360.0;
    const double q = std::floor(r / 90.0 + 0.5);
    return {static_cast<int>(q) % 4, r - 90.0 * q};
}

double PhotoRotation::cropScale(int width, int height, double degrees) {
    const RotationDecomposition split = decomposed(degrees);
    if (isNone(split.residual)) return 1.0;
    // A side below 1 has no picture to cut; it counts as 1 so the factor stays defined.
    double W = std::max(width, 1);
    double H = std::max(height, 1);
    if (split.quarterTurns % 2 == 1) std::swap(W, H);
    const double theta = std::abs(split.residual) * std::numbers::pi / 180.0;
    const double c = std::abs(std::cos(theta));
    const double s = std::abs(std::sin(theta));
    const double a = W / (W * c + H * s);
    const double b = H / (W * s + H * c);
    return b < a ? b : a;
}

PixelSize PhotoRotation::outputSize(int width, int height, double degrees) {
    PixelSize size{width, height};
    if (decomposed(degrees).quarterTurns % 2 == 1) std::swap(size.width, size.height);
    const double k = cropScale(width, height, degrees);
    if (k >= 1.0) return size;
    return {static_cast<int>(std::round(k * size.width)), static_cast<int>(std::round(k * size.height))};
}

std::optional<double> PhotoRotation::stored(double degrees) {
    if (!std::isfinite(degrees) || degrees < -180.0 || degrees > 179.5) return std::nullopt;
    const double snapped = std::round(2.0 * degrees) * 0.5;
    if (isNone(snapped)) return std::nullopt;
    return snapped;
}

double PhotoRotation::normalized(double degrees) {
    if (!std::isfinite(degrees)) return 0;
    const double n = std::round(2.0 * degrees); // halves away from zero
    double m = std::fmod(n + 360.0, 720.0);
    if (m < 0) m += 720.0;
    if (m >= 720.0) m = 0;
    return (m - 360.0) / 2.0;
}

std::optional<std::string> PhotoRotation::displayText(double degrees, bool includeZero) {
    if (!includeZero && isNone(degrees)) return std::nullopt;
    return degrees > 0 ? fmt::format("+{:.1f}°", degrees) : fmt::format("{:.1f}°", degrees);
}

SharedImage PhotoRotation::transformedImage(const SharedImage& image, double degrees) {
    if (!image) return nullptr;
    const RotationDecomposition split = decomposed(degrees);
    const SharedImage turned =
        OrientationTransform::transformedImage(image, kOrientationOfQuarterTurns[split.quarterTurns]);
    if (!turned || isNone(split.residual)) return turned;
    const PixelSize size = outputSize(image->width(), image->height(), degrees);
    return drawOrNone([&] { return rotatedImage(*turned, split.residual, size.width, size.height); });
}

} // namespace sorvin
