#pragma once

#include <cstdint>

namespace sorvin {

// Luminance noise reduction of a demosaiced linear RGB picture, for the sensors whose colour
// pattern LibRaw's own reduction cannot take (it works on 2 × 2 blocks of the mosaic, which in an
// X-Trans pattern may hold no red or no blue). The luminance, on a square-root scale where sensor
// noise is about even from shadows to highlights, is split into five scales of detail by an
// à trous wavelet; each scale's detail is pulled towards zero by the threshold times that scale's
// share of white noise, and every pixel's three channels are scaled by the same factor, so that
// its colour stays and only its brightness is calmed. The threshold is in the units of LibRaw's
// own reduction (0 leaves the picture as it is; a few hundred is strong).
namespace LuminanceWaveletDenoise {

// `image` holds LibRaw's pixels: four 16-bit channels each (the fourth unused), rows of `stride`
// pixels. Deterministic: the same picture and threshold give the same pixels on any thread count.
void apply(std::uint16_t (*image)[4], int stride, int width, int height, float threshold);

} // namespace LuminanceWaveletDenoise

} // namespace sorvin
