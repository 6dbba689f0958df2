#include "engine/first_sweep.hpp"

#include "engine/byte_rounding_avx2.hpp"
#include "engine/saturation_adjustment.hpp"

namespace sorvin {

RgbBytes FirstSweep::colorStages(RgbBytes p) const {
    if (saturation != 0 || vibrance != 0) p = SaturationAdjustment::perPixel(p, saturation, vibrance);
    if (color) p = ColorAdjustment::perPixel(p.red, p.green, p.blue, *color);
    if (blackAndWhite && blackAndWhite->amount != 0) p = BlackAndWhiteAdjustment::perPixel(p, *blackAndWhite);
    if (grading) p = ColorGradingAdjustment::perPixel(p, *grading);
    return p;
}

bool FirstSweep::hasVectorPath() {
    return hasAvx2();
}

void FirstSweep::row(const std::uint8_t* in, std::uint8_t* out, int width) const {
    const ByteTable& r = *red;
    const ByteTable& g = *green;
    const ByteTable& b = *blue;
    if (tablesOnly()) {
        for (int x = 0; x < width; ++x, in += 4, out += 4) {
            out[0] = r[in[0]];
            out[1] = g[in[1]];
            out[2] = b[in[2]];
            out[3] = in[3];
        }
        return;
    }
    if (hasVectorPath()) {
        rowVector(in, out, width);
        return;
    }
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        const RgbBytes p = colorStages({r[in[0]], g[in[1]], b[in[2]]});
        out[0] = p.red;
        out[1] = p.green;
        out[2] = p.blue;
        out[3] = in[3];
    }
}

} // namespace sorvin
