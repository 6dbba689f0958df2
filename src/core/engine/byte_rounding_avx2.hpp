#pragma once

#include <immintrin.h>

namespace sorvin {

// roundedByte of four doubles, as 32-bit integers: the same clamp, truncation and half-up test,
// so the bytes equal the one-value function's.
__attribute__((target("avx2"))) inline __m128i roundedBytes4(__m256d value) {
    const __m256d low = _mm256_max_pd(value, _mm256_setzero_pd()); // NaN gives 0, as roundedByte
    const __m256d clamped = _mm256_min_pd(low, _mm256_set1_pd(255));
    const __m256d truncated = _mm256_round_pd(clamped, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d up = _mm256_and_pd(
        _mm256_cmp_pd(_mm256_sub_pd(clamped, truncated), _mm256_set1_pd(0.5), _CMP_GE_OQ), _mm256_set1_pd(1));
    return _mm256_cvttpd_epi32(_mm256_add_pd(truncated, up));
}

// Whether the processor runs the AVX2 paths.
inline bool hasAvx2() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}

} // namespace sorvin
