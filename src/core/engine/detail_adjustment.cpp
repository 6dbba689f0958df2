#include "engine/detail_adjustment.hpp"

#include "engine/byte_rounding.hpp"
#include "engine/byte_rounding_avx2.hpp"
#include "engine/detail_box_blur.hpp"
#include "engine/detail_combination.hpp"
#include "engine/detail_vector_bytes.hpp"
#include "model/photo_parameters.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sorvin {

namespace {

int scaledRadius(double longEdge, double fraction) {
    return static_cast<int>(std::max<std::int64_t>(1, roundedHalfAway(longEdge * fraction)));
}

// Runs body(y, first byte of row y of the bitmap) for every row, in parallel bands.
template <typename Byte, typename Body>
void eachPixelRow(Byte* bytes, int height, std::size_t bytesPerRow, bool parallel, Body body) {
    DetailBoxBlur::performParallelBands(height, parallel, [&](int begin, int end) {
        for (int y = begin; y < end; ++y)
            body(y, bytes + bytesPerRow * static_cast<std::size_t>(y));
    });
}

} // namespace

void DetailAdjustment::fillWeights(DetailPlanes& planes, const DetailAdjustmentPlan& plan) {
    if (plan.texture != 0 || plan.clarity != 0) {
        planes.toneWeights.resize(256);
        for (int y = 0; y < 256; ++y) {
            const double m = std::abs(2 * y - 255) / 255.0;
            planes.toneWeights[static_cast<std::size_t>(y)] = 1 - m * m * m;
        }
    }
    if (plan.noiseLuminanceAmount != 0) {
        planes.luminanceNoise.resize(511);
        const double threshold = (1 - plan.noiseLuminanceDetail) * 36 + 4;
        for (int d = -255; d <= 255; ++d) {
            const double k = std::min(std::abs(d) / threshold, 1.0);
            planes.luminanceNoise[static_cast<std::size_t>(d + 255)] =
                -(plan.noiseLuminanceAmount * (1 - k)) * d;
        }
    }
    if (plan.sharpenAmount != 0) {
        planes.sharpenWeights.resize(511);
        for (int g = 0; g <= 510; ++g) {
            const double edge = std::min(g / 48.0, 1.0);
            planes.sharpenWeights[static_cast<std::size_t>(g)] =
                plan.sharpenAmount * (1 - (1 - edge) * plan.sharpenMask);
        }
    }
    if (plan.dehaze != 0) {
        // Both directions depend on one haze byte and the channel byte only.
        // Three bytes of padding: the four-at-a-time path reads a word at every entry.
        planes.dehazeTable.resize(65536 + 3);
        const double z = plan.dehaze;
        // A division per entry: the haze bytes are shared out, as the development waits for it.
        DetailBoxBlur::performParallelBands(256, true, [&](int begin, int end) {
            for (int h = begin; h < end; ++h) {
                for (int c = 0; c < 256; ++c) {
                    double value;
                    if (z > 0) {
                        const double a = z * 0.8 * h; // h = min(R, G, B, D)
                        value = (c - a) * 255 / (255 - a);
                    } else {
                        const double k = z * (-0.6) * h / 255; // h = D
                        value = (255 - c) * k + c;
                    }
                    planes.dehazeTable[static_cast<std::size_t>(h * 256 + c)] = roundedByte(value);
                }
            }
        });
    }
}

std::optional<DetailAdjustmentPlan> DetailAdjustment::plan(const PhotoParameters& parameters, int width,
                                                           int height) {
    if (!parameters.usesDetailStage() || width < 1 || height < 1) return std::nullopt;
    const auto strength = [&](PhotoParameter p) { return parameters[p] / 100.0; };
    DetailAdjustmentPlan plan;
    plan.texture = strength(PhotoParameter::texture);
    plan.clarity = strength(PhotoParameter::clarity);
    plan.dehaze = strength(PhotoParameter::dehaze);
    plan.sharpenAmount = strength(PhotoParameter::sharpen_amount);
    plan.sharpenDetail = strength(PhotoParameter::sharpen_detail);
    plan.sharpenMask = strength(PhotoParameter::sharpen_mask);
    plan.noiseLuminanceAmount = strength(PhotoParameter::noise_luminance_amount);
    plan.noiseLuminanceDetail = strength(PhotoParameter::noise_luminance_detail);
    plan.noiseColorAmount = strength(PhotoParameter::noise_color_amount);
    // Radii follow the long edge, so a preview and a full-size export look alike.
    const int longEdge = std::max(width, height);
    plan.textureRadius = scaledRadius(longEdge, 0.003);
    plan.clarityRadius = scaledRadius(longEdge, 0.04);
    plan.dehazeRadius = plan.clarityRadius;
    plan.luminanceNoiseRadius = scaledRadius(longEdge, 0.0015);
    plan.colorNoiseRadius = scaledRadius(longEdge, 0.0025);
    plan.sharpRadius = sharpRadius(parameters[PhotoParameter::sharpen_radius], longEdge);
    return plan;
}

int DetailAdjustment::reach(const DetailAdjustmentPlan& plan) {
    int reach = 0;
    const auto reads = [&](bool used, int distance) {
        if (used) reach = std::max(reach, distance);
    };
    reads(plan.texture != 0 || plan.clarity != 0, 2 * plan.textureRadius);
    reads(plan.clarity != 0, 2 * plan.clarityRadius);
    reads(plan.dehaze != 0, 2 * plan.dehazeRadius);
    reads(plan.sharpenAmount != 0, 2 * plan.sharpRadius + 1);
    reads(plan.noiseLuminanceAmount != 0, 2 * plan.luminanceNoiseRadius);
    reads(plan.noiseColorAmount != 0, 2 * plan.colorNoiseRadius);
    return reach;
}

int DetailAdjustment::sharpRadius(int amount, int longEdge) {
    const double clamped = std::clamp(amount, 0, 100);
    const double radius = (clamped * 2.5 / 100 + 0.5) / 1000 * static_cast<double>(longEdge);
    // The default rounding mode rounds halves to even.
    return std::max(1, static_cast<int>(std::nearbyint(radius)));
}

namespace {

struct ExtractedPlanes {
    DetailPlane luminance;
    DetailPlane darkChannel;
    DetailAdjustment::ColorPlanes colors;
};

// The luminance bytes of eight RGBA pixels, as 32-bit numbers.
struct LuminanceOf8 {
    __attribute__((target("avx2"))) __m256i operator()(__m256i pixels) const {
        // (R, B) and (G, A) as pairs of 16-bit numbers, multiplied and added in pairs.
        const __m256i rb = _mm256_madd_epi16(_mm256_and_si256(pixels, _mm256_set1_epi32(0x00FF00FF)),
                                             _mm256_set1_epi32(2126 | (722 << 16)));
        const __m256i g = _mm256_madd_epi16(_mm256_srli_epi16(pixels, 8), _mm256_set1_epi32(7152));
        const __m256i n = _mm256_add_epi32(_mm256_add_epi32(rb, g), _mm256_set1_epi32(5000));
        // n < 2^22 is exact in single precision, and so is n + 1/2. (n + 1/2) / 10000 lies at
        // least 1/20000 from the integers on either side, and the product by the rounded inverse
        // stays within 3 * 10^-5 of it below 256, so truncating it divides as integers do (the
        // test of every colour checks each n there is). A product costs far less than a division.
        const __m256 nudged = _mm256_add_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(0.5f));
        return _mm256_cvttps_epi32(_mm256_mul_ps(nudged, _mm256_set1_ps(1.0f / 10000)));
    }
};

// The dark channel, min(R, G, B), of eight RGBA pixels.
struct DarkChannelOf8 {
    __attribute__((target("avx2"))) __m256i operator()(__m256i pixels) const {
        const __m256i least = _mm256_min_epu8(_mm256_min_epu8(pixels, _mm256_srli_epi32(pixels, 8)),
                                              _mm256_srli_epi32(pixels, 16));
        return _mm256_and_si256(least, _mm256_set1_epi32(0xFF));
    }
};

// One colour of eight RGBA pixels.
struct ChannelOf8 {
    int shift;
    __attribute__((target("avx2"))) __m256i operator()(__m256i pixels) const {
        return _mm256_and_si256(_mm256_srl_epi32(pixels, _mm_cvtsi32_si128(shift)), _mm256_set1_epi32(0xFF));
    }
};

// One plane byte per pixel of a row, 32 pixels at a time as far as whole groups of 32 go; returns
// how many were done.
template <typename Of8>
__attribute__((target("avx2"))) int planeRowAvx2(const std::uint8_t* px, std::uint8_t* out, int width,
                                                 Of8 of8) {
    int x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i results[4];
        for (int k = 0; k < 4; ++k)
            results[k] = of8(_mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(px + 4 * static_cast<std::size_t>(x + 8 * k))));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            packedBytes(results[0], results[1], results[2], results[3]));
    }
    return x;
}

// Every plane asked for in one sweep over the bitmap: each row is read from memory once and then
// taken apart from the cache, plane by plane.
ExtractedPlanes extractPlanes(const std::uint8_t* bytes, int width, int height, std::size_t bytesPerRow,
                              bool parallel, bool luminance, bool darkChannel, bool colors) {
    ExtractedPlanes planes;
    if (luminance) planes.luminance = DetailPlane::forOverwrite(width, height);
    if (darkChannel) planes.darkChannel = DetailPlane::forOverwrite(width, height);
    if (colors) {
        planes.colors.red = DetailPlane::forOverwrite(width, height);
        planes.colors.green = DetailPlane::forOverwrite(width, height);
        planes.colors.blue = DetailPlane::forOverwrite(width, height);
    }
    eachPixelRow(bytes, height, bytesPerRow, parallel, [&](int y, const std::uint8_t* row) {
        if (luminance) DetailAdjustment::luminanceRow(row, planes.luminance.row(y), width);
        if (darkChannel) DetailAdjustment::darkChannelRow(row, planes.darkChannel.row(y), width);
        if (colors) {
            DetailAdjustment::channelRow(row, planes.colors.red.row(y), width, 0);
            DetailAdjustment::channelRow(row, planes.colors.green.row(y), width, 1);
            DetailAdjustment::channelRow(row, planes.colors.blue.row(y), width, 2);
        }
    });
    return planes;
}

} // namespace

void DetailAdjustment::luminanceRow(const std::uint8_t* rgba, std::uint8_t* out, int width) {
    for (int x = hasAvx2() ? planeRowAvx2(rgba, out, width, LuminanceOf8()) : 0; x < width; ++x) {
        const std::uint8_t* px = rgba + 4 * static_cast<std::size_t>(x);
        out[x] = static_cast<std::uint8_t>(luminanceByte(px[0], px[1], px[2]));
    }
}

void DetailAdjustment::darkChannelRow(const std::uint8_t* rgba, std::uint8_t* out, int width) {
    for (int x = hasAvx2() ? planeRowAvx2(rgba, out, width, DarkChannelOf8()) : 0; x < width; ++x) {
        const std::uint8_t* px = rgba + 4 * static_cast<std::size_t>(x);
        out[x] = std::min({px[0], px[1], px[2]});
    }
}

void DetailAdjustment::channelRow(const std::uint8_t* rgba, std::uint8_t* out, int width, int channel) {
    for (int x = hasAvx2() ? planeRowAvx2(rgba, out, width, ChannelOf8{8 * channel}) : 0; x < width; ++x)
        out[x] = rgba[4 * static_cast<std::size_t>(x) + static_cast<std::size_t>(channel)];
}

DetailPlane DetailAdjustment::luminancePlane(const std::uint8_t* bytes, int width, int height,
                                             std::size_t bytesPerRow, bool parallel) {
    return extractPlanes(bytes, width, height, bytesPerRow, parallel, true, false, false).luminance;
}

DetailPlane DetailAdjustment::darkChannelPlane(const std::uint8_t* bytes, int width, int height,
                                               std::size_t bytesPerRow, bool parallel) {
    return extractPlanes(bytes, width, height, bytesPerRow, parallel, false, true, false).darkChannel;
}

DetailAdjustment::ColorPlanes DetailAdjustment::colorPlanes(const std::uint8_t* bytes, int width, int height,
                                                            std::size_t bytesPerRow, bool parallel) {
    return std::move(extractPlanes(bytes, width, height, bytesPerRow, parallel, false, false, true).colors);
}

DetailPlanes DetailAdjustment::makePlanes(DetailPlane luminance, DetailPlane darkChannel, DetailPlane red,
                                          DetailPlane green, DetailPlane blue, int width, int height,
                                          const DetailAdjustmentPlan& plan, bool parallel) {
    DetailPlanes planes;
    planes.width = width;
    planes.height = height;
    planes.luminance = std::move(luminance);
    fillWeights(planes, plan);
    if (width < 1 || height < 1) return planes;

    const auto blurred = [&](const DetailPlane& source, int radius) {
        DetailPlane out = DetailPlane::forOverwrite(width, height);
        DetailBoxBlur::blur(source, out, radius, parallel);
        return out;
    };
    const auto blurInPlace = [&](DetailPlane& plane, int radius) {
        DetailBoxBlur::blur(plane, plane, radius, parallel);
    };
    const bool hasLuminance = !planes.luminance.empty();
    if (hasLuminance && (plan.texture != 0 || plan.clarity != 0))
        planes.textureBlur = blurred(planes.luminance, plan.textureRadius);
    if (hasLuminance && plan.clarity != 0) planes.clarityBlur = blurred(planes.luminance, plan.clarityRadius);
    if (plan.dehaze != 0 && !darkChannel.empty()) {
        blurInPlace(darkChannel, plan.dehazeRadius);
        planes.dehazeBlur = std::move(darkChannel);
    }
    if (hasLuminance && plan.sharpenAmount != 0)
        planes.sharpBlur = blurred(planes.luminance, plan.sharpRadius);
    if (hasLuminance && plan.noiseLuminanceAmount != 0)
        planes.luminanceNoiseBlur = blurred(planes.luminance, plan.luminanceNoiseRadius);
    if (plan.noiseColorAmount != 0 && !red.empty() && !green.empty() && !blue.empty()) {
        blurInPlace(red, plan.colorNoiseRadius);
        blurInPlace(green, plan.colorNoiseRadius);
        blurInPlace(blue, plan.colorNoiseRadius);
        planes.redNoiseBlur = std::move(red);
        planes.greenNoiseBlur = std::move(green);
        planes.blueNoiseBlur = std::move(blue);
    }
    return planes;
}

DetailPlanes DetailAdjustment::planesFromBitmap(std::uint8_t* bytes, int width, int height,
                                                std::size_t bytesPerRow, const DetailAdjustmentPlan& plan) {
    if (width < 1 || height < 1) {
        DetailPlanes none;
        none.width = width;
        none.height = height;
        return none;
    }
    ExtractedPlanes extracted = extractPlanes(bytes, width, height, bytesPerRow, true, needsLuminance(plan),
                                              needsDarkChannel(plan), needsColorPlanes(plan));
    DetailPlanes planes = makePlanes(std::move(extracted.luminance), std::move(extracted.darkChannel),
                                     std::move(extracted.colors.red), std::move(extracted.colors.green),
                                     std::move(extracted.colors.blue), width, height, plan, true);
    if (planes.redNoiseBlur.empty()) return planes;
    // Colour noise is the combination's first step and reads nothing else.
    DetailAdjustmentPlan colorOnly;
    colorOnly.noiseColorAmount = plan.noiseColorAmount;
    colorOnly.colorNoiseRadius = plan.colorNoiseRadius;
    eachPixelRow(bytes, height, bytesPerRow, true,
                 [&](int y, std::uint8_t* row) { DetailCombination::applyRow(row, y, colorOnly, planes); });
    planes.redNoiseBlur = DetailPlane();
    planes.greenNoiseBlur = DetailPlane();
    planes.blueNoiseBlur = DetailPlane();
    return planes;
}

void DetailAdjustment::applyRow(std::uint8_t* rgba, int y, const DetailAdjustmentPlan& plan,
                                const DetailPlanes& planes) {
    DetailCombination::applyRow(rgba, y, plan, planes);
}

} // namespace sorvin
