#pragma once

#include <immintrin.h>

namespace sorvin {

// Bytes of the 32-bit lanes a[0..7], b[0..7], c[0..7], d[0..7] (each at most 255), in that order:
// how the detail stage's AVX2 loops store 32 results.
__attribute__((target("avx2"))) inline __m256i packedBytes(__m256i a, __m256i b, __m256i c, __m256i d) {
    const __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(a, b), _mm256_packus_epi32(c, d));
    // The packs work per 128-bit half: put the 32 bytes back in order.
    return _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

} // namespace sorvin
