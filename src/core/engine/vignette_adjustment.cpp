#include "engine/vignette_adjustment.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/byte_rounding_avx2.hpp"
#include "engine/recent_tables.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_rotation.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sorvin {

namespace {

double encodedSrgb(double x) {
    return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
}

int levelAtSquaredDistance(const VignetteGeometry& geometry, double squaredDistance) {
    const double t =
        std::clamp((std::sqrt(squaredDistance) - geometry.midpoint) / geometry.feather, 0.0, 1.0);
    return roundedByte(t * t * (3 - 2 * t) * 255);
}

double squaredDistance(const VignettePlan& plan, int x, int y) {
    const VignetteGeometry& g = plan.geometry;
    if (!g.isRotated)
        return plan.columnTerms[static_cast<std::size_t>(x)] + plan.rowTerms[static_cast<std::size_t>(y)];
    const double dx = x - g.centerX;
    const double dy = y - g.centerY;
    const double u = (dx * g.rotationCosine - dy * g.rotationSine) / g.axisX;
    const double v = (dy * g.rotationCosine + dx * g.rotationSine) / g.axisY;
    return u * u + v * v;
}

// The levels of four squared distances, with the operations of levelAtSquaredDistance.
__attribute__((target("avx2"))) inline __m128i levels4(const VignetteGeometry& g, __m256d squaredDistance) {
    const __m256d distance = _mm256_sqrt_pd(squaredDistance);
    __m256d t = _mm256_div_pd(_mm256_sub_pd(distance, _mm256_set1_pd(g.midpoint)), _mm256_set1_pd(g.feather));
    t = _mm256_min_pd(_mm256_max_pd(t, _mm256_setzero_pd()), _mm256_set1_pd(1));
    const __m256d smooth = _mm256_mul_pd(
        _mm256_mul_pd(t, t), _mm256_sub_pd(_mm256_set1_pd(3), _mm256_mul_pd(_mm256_set1_pd(2), t)));
    return roundedBytes4(_mm256_mul_pd(smooth, _mm256_set1_pd(255)));
}

// squaredDistance of four columns from x on, with the same operations.
__attribute__((target("avx2"))) inline __m256d squaredDistances4(const VignettePlan& plan, int x, int y) {
    const VignetteGeometry& g = plan.geometry;
    if (!g.isRotated)
        return _mm256_add_pd(_mm256_loadu_pd(plan.columnTerms.data() + x),
                             _mm256_set1_pd(plan.rowTerms[static_cast<std::size_t>(y)]));
    const __m256d dx = _mm256_sub_pd(_mm256_setr_pd(x, x + 1, x + 2, x + 3), _mm256_set1_pd(g.centerX));
    const __m256d dy = _mm256_set1_pd(y - g.centerY);
    const __m256d cosine = _mm256_set1_pd(g.rotationCosine);
    const __m256d sine = _mm256_set1_pd(g.rotationSine);
    const __m256d u = _mm256_div_pd(_mm256_sub_pd(_mm256_mul_pd(dx, cosine), _mm256_mul_pd(dy, sine)),
                                    _mm256_set1_pd(g.axisX));
    const __m256d v = _mm256_div_pd(_mm256_add_pd(_mm256_mul_pd(dy, cosine), _mm256_mul_pd(dx, sine)),
                                    _mm256_set1_pd(g.axisY));
    return _mm256_add_pd(_mm256_mul_pd(u, u), _mm256_mul_pd(v, v));
}

inline void darken(std::uint8_t* px, const std::uint8_t* table, int level) {
    const std::uint8_t* row = table + static_cast<std::size_t>(level) * 256;
    px[0] = row[px[0]];
    px[1] = row[px[1]];
    px[2] = row[px[2]];
}

// The levels four columns at a time; the pixels are then looked up one by one.
__attribute__((target("avx2"))) int applyRowAvx2(std::uint8_t* rgba, int y, int width,
                                                 const VignettePlan& plan) {
    alignas(16) std::int32_t levels[4];
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        _mm_store_si128(reinterpret_cast<__m128i*>(levels),
                        levels4(plan.geometry, squaredDistances4(plan, x, y)));
        for (int i = 0; i < 4; ++i)
            darken(rgba + 4 * static_cast<std::size_t>(x + i), plan.table.data(), levels[i]);
    }
    return x;
}

} // namespace

const std::array<double, 256>& VignetteAdjustment::linearComponents() {
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values{};
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            values[static_cast<std::size_t>(i)] =
                c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return values;
    }();
    return table;
}

std::vector<std::uint8_t> VignetteAdjustment::makeTable(int amount) {
    const double a = std::clamp(amount, -100, 100) / 100.0;
    const auto& linear = linearComponents();
    std::vector<std::uint8_t> table(65536);
    // 65,536 powers: built on every core, a level per task.
    parallelFor(0, 256, [&](int k) {
        const double gain = 1 - 0.6 * a * k / 255;
        for (int v = 0; v < 256; ++v) {
            const double lin = std::clamp(gain * linear[static_cast<std::size_t>(v)], 0.0, 1.0);
            table[static_cast<std::size_t>(k * 256 + v)] = roundedByte(encodedSrgb(lin) * 255);
        }
    });
    return table;
}

VignetteFrame VignetteAdjustment::frame(const DevelopmentPlacement& placement) {
    const Point centre = placement.bitmapPoint(placement.pictureCenter);
    // The picture's axes are the photo's turned by pictureTurn, the bitmap's by turn.
    const RotationDecomposition split = PhotoRotation::decomposed(placement.turn - placement.pictureTurn);
    double width = placement.pictureSize.width;
    double height = placement.pictureSize.height;
    if (split.quarterTurns % 2 == 1) std::swap(width, height);
    return VignetteFrame{centre.x - 0.5, centre.y - 0.5, static_cast<int>(std::lround(width)),
                         static_cast<int>(std::lround(height)),
                         PhotoRotation::isNone(split.residual) ? 0 : split.residual};
}

std::optional<VignettePlan> VignetteAdjustment::plan(const PhotoParameters& parameters, int width, int height,
                                                     const std::optional<VignetteFrame>& frame) {
    return plan(parameters[PhotoParameter::vignette_amount], parameters[PhotoParameter::vignette_midpoint],
                parameters[PhotoParameter::vignette_roundness], parameters[PhotoParameter::vignette_feather],
                width, height, frame);
}

std::optional<VignettePlan> VignetteAdjustment::plan(int amount, int midpoint, int roundness, int feather,
                                                     int width, int height,
                                                     const std::optional<VignetteFrame>& frame) {
    if (amount == 0 || width < 1 || height < 1) return std::nullopt;
    const VignetteFrame f =
        frame.value_or(VignetteFrame{(width - 1) / 2.0, (height - 1) / 2.0, width, height, 0});
    if (f.width < 1 || f.height < 1) return std::nullopt;

    VignettePlan plan;
    VignetteGeometry& g = plan.geometry;
    g.centerX = f.centerX;
    g.centerY = f.centerY;
    const double halfW = (f.width - 1) / 2.0;
    const double halfH = (f.height - 1) / 2.0;
    const double m = std::min(halfW, halfH);
    // Roundness -100 follows the frame's proportions, +100 is a circle.
    const double t = (std::clamp(roundness, -100, 100) + 100) / 200.0;
    g.axisX = halfW + (m - halfW) * t;
    g.axisY = halfH + (m - halfH) * t;
    if (g.axisX == 0) g.axisX = 0.5;
    if (g.axisY == 0) g.axisY = 0.5;
    g.midpoint = std::clamp(midpoint, -100, 100) / 100.0 * 0.4 + 0.5;
    g.feather = std::clamp(feather, -100, 100) / 100.0 * 0.6 + 1;
    if (f.rotation != 0) {
        const double angle = -f.rotation * std::numbers::pi / 180;
        g.rotationSine = std::sin(angle);
        g.rotationCosine = std::cos(angle);
        g.isRotated = true;
    } else {
        plan.columnTerms.resize(static_cast<std::size_t>(width));
        for (int x = 0; x < width; ++x) {
            const double d = (x - g.centerX) / g.axisX;
            plan.columnTerms[static_cast<std::size_t>(x)] = d * d;
        }
        plan.rowTerms.resize(static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) {
            const double d = (y - g.centerY) / g.axisY;
            plan.rowTerms[static_cast<std::size_t>(y)] = d * d;
        }
    }
    // Dragging the shape keeps the amount, and with it the table.
    static RecentTables<int, std::vector<std::uint8_t>, 4> recentTables;
    const int key = std::clamp(amount, -100, 100);
    plan.table = recentTables.get(key, [&] { return makeTable(key); });
    return plan;
}

int VignetteAdjustment::level(const VignettePlan& plan, int x, int y) {
    return levelAtSquaredDistance(plan.geometry, squaredDistance(plan, x, y));
}

void VignetteAdjustment::applyRow(std::uint8_t* rgba, int y, int width, const VignettePlan& plan) {
    const int done = hasAvx2() ? applyRowAvx2(rgba, y, width, plan) : 0;
    for (int x = done; x < width; ++x)
        darken(rgba + 4 * static_cast<std::size_t>(x), plan.table.data(), level(plan, x, y));
}

} // namespace sorvin
