#pragma once

#include "engine/detail_plane.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sorvin {

class PhotoParameters;

// Strengths (parameter value / 100) and blur radii in pixels of one development's detail work.
struct DetailAdjustmentPlan {
    double texture = 0;
    double clarity = 0;
    double dehaze = 0;
    double sharpenAmount = 0;
    double sharpenDetail = 0;
    double sharpenMask = 0;
    double noiseLuminanceAmount = 0;
    double noiseLuminanceDetail = 0;
    double noiseColorAmount = 0;
    int textureRadius = 1;
    int clarityRadius = 1;
    int dehazeRadius = 1;
    int sharpRadius = 1;
    int luminanceNoiseRadius = 1;
    int colorNoiseRadius = 1;

    bool usesLuminanceDetail() const {
        return texture != 0 || clarity != 0 || sharpenAmount != 0 || noiseLuminanceAmount != 0;
    }
    bool operator==(const DetailAdjustmentPlan&) const = default;
};

// The planes the per-pixel combination reads, with the factors that depend on one byte (or one
// byte difference) only, worked out once per pass. Planes a plan does not need stay empty.
struct DetailPlanes {
    int width = 0;
    int height = 0;
    DetailPlane luminance;
    DetailPlane textureBlur;        // texture or clarity
    DetailPlane clarityBlur;        // clarity
    DetailPlane dehazeBlur;         // dehaze, from the dark channel
    DetailPlane sharpBlur;          // sharpening
    DetailPlane luminanceNoiseBlur; // luminance noise reduction
    DetailPlane redNoiseBlur;       // colour noise reduction
    DetailPlane greenNoiseBlur;
    DetailPlane blueNoiseBlur;

    std::vector<double> toneWeights;       // by luminance: 1 - m^3, m = |2Y - 255| / 255
    std::vector<double> luminanceNoise;    // by Y - N + 255: the luminance noise contribution
    std::vector<double> sharpenWeights;    // by gx + gy: amount * (1 - (1 - edge) * mask)
    std::vector<std::uint8_t> dehazeTable; // dehaze output at (haze byte) * 256 + channel byte

    bool operator==(const DetailPlanes&) const = default;
};

// Texture, clarity, dehaze, sharpening and noise reduction. The driver builds the plan and, after
// its first pixel loop, has a DetailStream make the planes and call back its second loop, which
// runs applyRow on every row.
struct DetailAdjustment {
    // None when no detail parameter is set or a side is below 1.
    static std::optional<DetailAdjustmentPlan> plan(const PhotoParameters& parameters, int width, int height);

    // How far from a pixel the stage reads for it: each blur is two box blurs of its radius, and
    // sharpening compares the blurs of the neighbouring pixels.
    static int reach(const DetailAdjustmentPlan& plan);

    // The sharpening radius for a sharpen_radius value and the long edge: 0.5 to 3 thousandths of
    // the long edge, halves rounded to even, at least 1.
    static int sharpRadius(int amount, int longEdge);

    // The luminance byte of the planes: (2126 R + 7152 G + 722 B + 5000) div 10000.
    static int luminanceByte(int r, int g, int b) { return (2126 * r + 7152 * g + 722 * b + 5000) / 10000; }

    // Which planes the driver extracts for a plan.
    static bool needsLuminance(const DetailAdjustmentPlan& plan) { return plan.usesLuminanceDetail(); }
    static bool needsDarkChannel(const DetailAdjustmentPlan& plan) { return plan.dehaze != 0; }
    static bool needsColorPlanes(const DetailAdjustmentPlan& plan) { return plan.noiseColorAmount != 0; }

    // One row of a plane from a row of RGBA bytes (R, G, B, A in memory).
    static void luminanceRow(const std::uint8_t* rgba, std::uint8_t* out, int width);
    static void darkChannelRow(const std::uint8_t* rgba, std::uint8_t* out, int width);
    // One colour of the pixels: 0 red, 1 green, 2 blue.
    static void channelRow(const std::uint8_t* rgba, std::uint8_t* out, int width, int channel);

    // Planes from RGBA bytes.
    static DetailPlane luminancePlane(const std::uint8_t* bytes, int width, int height,
                                      std::size_t bytesPerRow, bool parallel);
    static DetailPlane darkChannelPlane(const std::uint8_t* bytes, int width, int height,
                                        std::size_t bytesPerRow, bool parallel);
    struct ColorPlanes {
        DetailPlane red;
        DetailPlane green;
        DetailPlane blue;
    };
    static ColorPlanes colorPlanes(const std::uint8_t* bytes, int width, int height, std::size_t bytesPerRow,
                                   bool parallel);

    // Blurs what the plan needs. The dark channel and the colour planes are blurred in place (the
    // combination reads only their blurs); the luminance plane is kept as it is. Every plane is
    // allocated once per pass and the blurs need none besides.
    static DetailPlanes makePlanes(DetailPlane luminance, DetailPlane darkChannel, DetailPlane red,
                                   DetailPlane green, DetailPlane blue, int width, int height,
                                   const DetailAdjustmentPlan& plan, bool parallel);

    // The factors of the planes' weight tables the plan uses.
    static void fillWeights(DetailPlanes& planes, const DetailAdjustmentPlan& plan);

    // Whole planes for every row of the picture, from the bitmap as the first loop left it, with
    // colour noise reduction applied to the bitmap, so the planes carry no colour blurs and
    // applyRow does the rest. What DetailStream gives a row at a time, for comparing with it.
    static DetailPlanes planesFromBitmap(std::uint8_t* bytes, int width, int height, std::size_t bytesPerRow,
                                         const DetailAdjustmentPlan& plan);

    // The per-pixel combination for row y of an RGBA bitmap as the first loop left it: colour
    // noise, then luminance detail, then dehaze. Alpha is not touched.
    static void applyRow(std::uint8_t* rgba, int y, const DetailAdjustmentPlan& plan,
                         const DetailPlanes& planes);
};

} // namespace sorvin
