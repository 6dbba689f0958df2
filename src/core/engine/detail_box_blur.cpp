#include "engine/detail_box_blur.hpp"

#include "engine/byte_rounding_avx2.hpp"
#include "engine/detail_vector_bytes.hpp"
#include "platform/parallel_for.hpp"

#include <algorithm>
#include <cstring>
#include <memory>
#include <tbb/blocked_range.h>
#include <thread>
#include <vector>

namespace sorvin {

namespace {

// One row: the window of position i is [max(0, i - r), min(n - 1, i + r)].
void boxRow(const std::uint8_t* in, std::uint8_t* out, int n, int r) {
    int count = std::min(n - 1, r) + 1;
    std::uint64_t sum = 0;
    for (int k = 0; k < count; ++k)
        sum += in[k];
    const auto step = [&](int i) {
        out[i] = static_cast<std::uint8_t>((2 * sum + static_cast<std::uint64_t>(count)) /
                                           (2 * static_cast<std::uint64_t>(count)));
        if (i - r >= 0) {
            sum -= in[i - r];
            --count;
        }
        if (i + r + 1 < n) {
            sum += in[i + r + 1];
            ++count;
        }
    };
    // Between the borders the window is full, so its size and the divisor stay fixed.
    const int interiorBegin = std::min(n, r);
    const int interiorEnd = std::max(interiorBegin, n - r - 1);
    int i = 0;
    for (; i < interiorBegin; ++i)
        step(i);
    if (i < interiorEnd) {
        const HalfUpMean mean(static_cast<std::uint64_t>(2) * static_cast<std::uint64_t>(r) + 1);
        for (; i < interiorEnd; ++i) {
            out[i] = mean(sum);
            // One addition on the running sum per sample: the difference does not wait for it.
            sum += static_cast<std::uint64_t>(static_cast<std::int64_t>(in[i + r + 1]) - in[i - r]);
        }
    }
    for (; i < n; ++i)
        step(i);
}

// prefix[k] = in[0] + ... + in[k - 1] for k = 0..n, eight sums at a time.
__attribute__((target("avx2"))) void prefixSums(const std::uint8_t* in, std::uint32_t* prefix, int n) {
    prefix[0] = 0;
    __m256i carry = _mm256_setzero_si256();
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        std::int64_t eight;
        std::memcpy(&eight, in + k, 8);
        __m256i x = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(eight));
        x = _mm256_add_epi32(x, _mm256_slli_si256(x, 4));
        x = _mm256_add_epi32(x, _mm256_slli_si256(x, 8));
        // The low half's total goes to every sum of the high half.
        x = _mm256_add_epi32(x, _mm256_shuffle_epi32(_mm256_permute2x128_si256(x, x, 0x08), 0xFF));
        // The running total waits for one addition a step; the block's own total does not wait.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(prefix + k + 1), _mm256_add_epi32(x, carry));
        carry = _mm256_add_epi32(carry, _mm256_permutevar8x32_epi32(x, _mm256_set1_epi32(7)));
    }
    for (; k < n; ++k)
        prefix[k + 1] = prefix[k] + in[k];
}

// The HalfUpMean of eight window sums of `count` samples (count <= HalfUpMean::kMaxFastCount).
__attribute__((target("avx2"))) inline __m256i means8(__m256i sums, __m256i count, __m256i multiplier) {
    const __m256i numerator = _mm256_add_epi32(_mm256_add_epi32(sums, sums), count);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(numerator, multiplier), 32);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(numerator, 32), multiplier);
    return _mm256_blend_epi32(even, odd, 0b10101010);
}

// The means of the eight windows whose sums are high[k] - low[k].
__attribute__((target("avx2"))) inline __m256i
windowMeans8(const std::uint32_t* high, const std::uint32_t* low, __m256i count, __m256i multiplier) {
    const __m256i sums = _mm256_sub_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(high)),
                                          _mm256_loadu_si256(reinterpret_cast<const __m256i*>(low)));
    return means8(sums, count, multiplier);
}

// HalfUpMean of every count up to kMaxFastCount (index count - 1): the border windows of a row
// change their count at every step.
const std::vector<HalfUpMean>& fastMeans() {
    static const std::vector<HalfUpMean> means = [] {
        std::vector<HalfUpMean> all;
        all.reserve(HalfUpMean::kMaxFastCount);
        for (std::uint64_t count = 1; count <= HalfUpMean::kMaxFastCount; ++count)
            all.emplace_back(count);
        return all;
    }();
    return means;
}

// boxRow from prefix sums: every window sum is the difference of two of them, so the interior
// runs 32 outputs at a time, and `out` may be `in` (the row is read whole before it is written).
__attribute__((target("avx2"))) void boxRowAvx2(const std::uint8_t* in, std::uint8_t* out, int n, int r,
                                                std::uint32_t* prefix) {
    prefixSums(in, prefix, n);
    const std::vector<HalfUpMean>& means = fastMeans();
    const auto scalar = [&](int i) {
        const int first = std::max(0, i - r);
        const int last = std::min(n, i + r + 1);
        out[i] = means[static_cast<std::size_t>(last - first - 1)](prefix[last] - prefix[first]);
    };
    const int interiorBegin = std::min(n, r);
    const int interiorEnd = std::max(interiorBegin, n - r - 1);
    int i = 0;
    for (; i < interiorBegin; ++i)
        scalar(i);
    const auto count = static_cast<std::uint32_t>(2 * r + 1);
    const __m256i counts = _mm256_set1_epi32(static_cast<int>(count));
    const __m256i multiplier = _mm256_set1_epi64x(
        static_cast<std::int64_t>((std::uint64_t{1} << 32) / (2 * std::uint64_t{count}) + 1));
    for (; i + 32 <= interiorEnd; i += 32) {
        const std::uint32_t* high = prefix + i + r + 1;
        const std::uint32_t* low = prefix + i - r;
        const __m256i bytes = packedBytes(windowMeans8(high, low, counts, multiplier),
                                          windowMeans8(high + 8, low + 8, counts, multiplier),
                                          windowMeans8(high + 16, low + 16, counts, multiplier),
                                          windowMeans8(high + 24, low + 24, counts, multiplier));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), bytes);
    }
    for (; i < n; ++i)
        scalar(i);
}

// The vector row needs its interior windows to divide by a multiply.
bool vectorRow(int radius) {
    return hasAvx2() && static_cast<std::uint64_t>(2) * static_cast<std::uint64_t>(radius) + 1 <=
                            HalfUpMean::kMaxFastCount;
}

constexpr int kRowsAhead = 8;

// Output rows [from, to) of a vertical pass over `columns` columns, with s[c] holding the window
// sums of row from - 1 (nothing before row 0), so that a pass may stop after any row and go on
// later. entering(y) and leaving(y) give row y of the input as it joins and as it leaves the
// window, target(y) the row the output goes to, made(y) is called once it is written there; the
// first row is summed from entering().
template <bool leavingAhead, typename Sum, typename Entering, typename Leaving, typename Target,
          typename Made>
inline void sweepColumns(Sum* s, int columns, int height, int r, int from, int to, Entering entering,
                         Leaving leaving, Target target, Made made) {
    // Windows reach no further than the plane.
    r = std::min(r, height);
    for (int y = from; y < to; ++y) {
        const int first = std::max(0, y - r);
        const int last = std::min(height - 1, y + r);
        const auto count = static_cast<std::uint64_t>(last - first + 1);
        if (y == 0) {
            std::fill(s, s + columns, Sum{0});
            for (int k = 0; k <= last; ++k) {
                const std::uint8_t* row = entering(k);
                for (int c = 0; c < columns; ++c)
                    s[c] += row[c];
            }
        }
        const bool enters = y > 0 && y + r <= height - 1;
        const bool leaves = y > 0 && y - r - 1 >= 0;
        const std::uint8_t* in = enters ? entering(y + r) : nullptr;
        const std::uint8_t* out = leaves ? leaving(y - r - 1) : nullptr;
        // Rows lie a whole row apart, too far for the processor to see where the sweep goes next:
        // the row that enters (or leaves, whichever was read longer ago) a few steps later is
        // asked for now.
        const int ahead = leavingAhead ? y - r - 1 + kRowsAhead : y + r + kRowsAhead;
        if (ahead >= 0 && ahead <= height - 1 && (leavingAhead ? ahead < y : true)) {
            const std::uint8_t* row = leavingAhead ? leaving(ahead) : entering(ahead);
            for (int c = 0; c < columns; c += 64)
                _mm_prefetch(reinterpret_cast<const char*>(row + c), _MM_HINT_T0);
        }
        std::uint8_t* t = target(y);
        const bool fast = count <= HalfUpMean::kMaxFastCount;
        if (!(fast && enters && leaves)) {
            if (enters)
                for (int c = 0; c < columns; ++c)
                    s[c] += in[c];
            if (leaves)
                for (int c = 0; c < columns; ++c)
                    s[c] -= out[c];
        }
        if (fast) {
            // Same arithmetic as HalfUpMean, written out so that the loops vectorise: a 32 x 32
            // bit multiply, and the window moved in the same sweep.
            const auto n = static_cast<std::uint32_t>(count);
            const auto multiplier =
                static_cast<std::uint32_t>((std::uint64_t{1} << 32) / (2 * std::uint64_t{n}) + 1);
            const auto mean = [&](Sum sum) {
                const auto numerator = static_cast<std::uint32_t>(2 * sum + n);
                return static_cast<std::uint8_t>((std::uint64_t{numerator} * multiplier) >> 32);
            };
            if (enters && leaves) {
                for (int c = 0; c < columns; ++c) {
                    const Sum sum = s[c] + in[c] - out[c];
                    s[c] = sum;
                    t[c] = mean(sum);
                }
            } else {
                for (int c = 0; c < columns; ++c)
                    t[c] = mean(s[c]);
            }
        } else {
            const HalfUpMean mean(count);
            for (int c = 0; c < columns; ++c)
                t[c] = mean(s[c]);
        }
        made(y);
    }
}

// Copies n bytes with stores that go past the caches (but for the ends, short of 16-byte blocks),
// so no line of `target` is fetched first, nor left in this processor's caches.
void storePastCaches(std::uint8_t* target, const std::uint8_t* bytes, int n) {
    const auto head = static_cast<int>(std::min<std::uintptr_t>(
        static_cast<std::uintptr_t>(n), (16 - reinterpret_cast<std::uintptr_t>(target) % 16) % 16));
    std::memcpy(target, bytes, static_cast<std::size_t>(head));
    int i = head;
    for (; i + 16 <= n; i += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(target + i),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
    std::memcpy(target + i, bytes + i, static_cast<std::size_t>(n - i));
}

// Columns [c0, c1) of a whole vertical pass, swept row by row so that memory is read in rows. In
// place (`in` is `out`), each row is kept in a ring of radius + 2 rows before it is overwritten,
// and leaves the window from there.
template <typename Sum>
inline void boxColumns(const std::uint8_t* in, std::uint8_t* out, int width, int height, int r, int c0,
                       int c1) {
    const auto columns = static_cast<std::size_t>(c1 - c0);
    const auto w = static_cast<std::size_t>(width);
    const bool inPlace = in == out;
    const int ringRows = std::min(r, height) + 2;
    std::vector<std::uint8_t> ring(inPlace ? static_cast<std::size_t>(ringRows) * columns : 0);
    const auto ringRow = [&](int row) {
        return ring.data() + static_cast<std::size_t>(row % ringRows) * columns;
    };
    std::vector<Sum> sums(columns);
    const auto rowOf = [&](int y) { return in + w * static_cast<std::size_t>(y) + c0; };
    sweepColumns<false>(
        sums.data(), c1 - c0, height, r, 0, height, rowOf,
        [&](int y) { return inPlace ? ringRow(y) : rowOf(y); },
        [&](int y) {
            std::uint8_t* target = out + w * static_cast<std::size_t>(y) + c0;
            if (inPlace) std::memcpy(ringRow(y), target, columns);
            return target;
        },
        [](int) {});
}

// The same with 32-bit sums, compiled for AVX2: the loops over the columns vectorise twice as wide.
__attribute__((target("avx2"), flatten)) void boxColumnsAvx2(const std::uint8_t* in, std::uint8_t* out,
                                                             int width, int height, int r, int c0, int c1) {
    boxColumns<std::uint32_t>(in, out, width, height, r, c0, c1);
}

template <typename Sum>
inline void ringColumns(const DetailPlane& in, DetailPlane& out, Sum* sums, int height, int radius, int c0,
                        int c1, int from, int to, std::uint8_t* staging) {
    const auto rowOf = [&](int y) { return in.row(y) + c0; };
    sweepColumns<true>(
        sums, c1 - c0, height, radius, from, to, rowOf, rowOf,
        [&](int y) { return staging ? staging : out.row(y) + c0; },
        [&](int y) {
            if (staging) storePastCaches(out.row(y) + c0, staging, c1 - c0);
        });
    // Stores past the caches are not ordered with the others: done before the threads that read
    // the rows are told of them.
    if (staging) _mm_sfence();
}

__attribute__((target("avx2"), flatten)) void ringColumnsAvx2(const DetailPlane& in, DetailPlane& out,
                                                              std::uint32_t* sums, int height, int radius,
                                                              int c0, int c1, int from, int to,
                                                              std::uint8_t* staging) {
    ringColumns(in, out, sums, height, radius, c0, c1, from, to, staging);
}

} // namespace

int DetailBoxBlur::parallelBandCount() {
    static const int count = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return count;
}

void DetailBoxBlur::performParallelBands(int total, bool parallel,
                                         const std::function<void(int, int)>& body) {
    if (total < 1) return;
    constexpr int kBandsPerCore = 4;
    const int bands = std::min(total, parallel ? parallelBandCount() * kBandsPerCore : 1);
    const int perBand = (total + bands - 1) / bands;
    const auto run = [&](int band) {
        const int begin = band * perBand;
        const int end = std::min(total, begin + perBand);
        if (begin < end) body(begin, end);
    };
    if (bands > 1) {
        // Several bands per core, taken by whichever thread is free: a core slowed by other work
        // holds up only its own few bands.
        parallelFor(
            tbb::blocked_range<int>(0, bands, 1),
            [&](const tbb::blocked_range<int>& range) {
                for (int band = range.begin(); band != range.end(); ++band)
                    run(band);
            },
            tbb::simple_partitioner());
    } else {
        run(0);
    }
}

void DetailBoxBlur::horizontalRow(const std::uint8_t* in, std::uint8_t* out, int width, int radius,
                                  RowScratch& scratch) {
    const auto w = static_cast<std::size_t>(width);
    if (vectorRow(radius)) {
        // The vector row reads its prefix sums; in place, the scalar row reads a copy.
        if (scratch.prefix.size() < w + 1) scratch.prefix.resize(w + 1);
        boxRowAvx2(in, out, width, radius, scratch.prefix.data());
        return;
    }
    if (in == out) {
        if (scratch.copy.size() < w) scratch.copy.resize(w);
        in = static_cast<const std::uint8_t*>(std::memcpy(scratch.copy.data(), in, w));
    }
    boxRow(in, out, width, radius);
}

void DetailBoxBlur::horizontalPass(const std::uint8_t* in, std::uint8_t* out, int width, int height,
                                   int radius, bool parallel) {
    const auto w = static_cast<std::size_t>(width);
    performParallelBands(height, parallel, [&](int begin, int end) {
        RowScratch scratch;
        for (int y = begin; y < end; ++y) {
            const std::size_t offset = w * static_cast<std::size_t>(y);
            horizontalRow(in + offset, out + offset, width, radius, scratch);
        }
    });
}

void DetailBoxBlur::verticalPass(const std::uint8_t* in, std::uint8_t* out, int width, int height, int radius,
                                 bool parallel) {
    // 32-bit sums hold any column of up to 16 million rows.
    const bool narrowSums = height <= 16'000'000;
    performParallelBands(width, parallel, [&](int begin, int end) {
        if (narrowSums && hasAvx2())
            boxColumnsAvx2(in, out, width, height, radius, begin, end);
        else if (narrowSums)
            boxColumns<std::uint32_t>(in, out, width, height, radius, begin, end);
        else
            boxColumns<std::uint64_t>(in, out, width, height, radius, begin, end);
    });
}

void DetailBoxBlur::verticalRows(const DetailPlane& in, DetailPlane& out, std::uint32_t* sums, int height,
                                 int radius, int c0, int c1, int from, int to, std::uint8_t* staging) {
    if (hasAvx2())
        ringColumnsAvx2(in, out, sums, height, radius, c0, c1, from, to, staging);
    else
        ringColumns(in, out, sums, height, radius, c0, c1, from, to, staging);
}

void DetailBoxBlur::verticalRows(const DetailPlane& in, DetailPlane& out, std::uint64_t* sums, int height,
                                 int radius, int c0, int c1, int from, int to, std::uint8_t* staging) {
    ringColumns(in, out, sums, height, radius, c0, c1, from, to, staging);
}

void DetailBoxBlur::blur(const DetailPlane& in, DetailPlane& out, int radius, bool parallel) {
    blur(in.data(), out.data(), in.width(), in.height(), radius, parallel);
}

void DetailBoxBlur::blur(const std::uint8_t* in, std::uint8_t* out, int width, int height, int radius,
                         bool parallel) {
    horizontalPass(in, out, width, height, radius, parallel);
    verticalPass(out, out, width, height, radius, parallel);
    horizontalPass(out, out, width, height, radius, parallel);
    verticalPass(out, out, width, height, radius, parallel);
}

} // namespace sorvin
