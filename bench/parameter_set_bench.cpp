// Parameter sets key the tone-table, render and preview caches, so copying, hashing and comparing
// them must stay cheap; the copy of a plain 250-byte array is the baseline. The mask weights run
// once per pixel of every mask pass; a plain pass over the same pixels is their baseline.
#include "model/mask_weight_plan.hpp"
#include "model/photo_parameters.hpp"

#include <array>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <unordered_map>

namespace {

using namespace sorvin;
using P = PhotoParameter;

PhotoParameters editedSet() {
    PhotoParameters parameters({MaskKind::circular(), MaskKind::linear()});
    parameters.setValue(25, P::exposure);
    parameters.setValue(-10, P::contrast);
    parameters.setValue(60, P::curve_point_rgb_2);
    parameters.setValue(40, P::exposure, ParameterEditTarget::mask(0));
    parameters.setValue(-20, P::saturation, ParameterEditTarget::mask(1));
    return parameters;
}

void BM_ArrayCopyBaseline(benchmark::State& state) {
    std::array<std::int16_t, 125> values{};
    values[3] = 7;
    for (auto _ : state) {
        auto copy = values;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_ArrayCopyBaseline);

void BM_CopyWithoutMasks(benchmark::State& state) {
    PhotoParameters parameters;
    parameters.setValue(25, P::exposure);
    for (auto _ : state) {
        PhotoParameters copy = parameters;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyWithoutMasks);

void BM_CopyWithTwoMasks(benchmark::State& state) {
    const PhotoParameters parameters = editedSet();
    for (auto _ : state) {
        PhotoParameters copy = parameters;
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(BM_CopyWithTwoMasks);

void BM_HashWithTwoMasks(benchmark::State& state) {
    const PhotoParameters parameters = editedSet();
    for (auto _ : state)
        benchmark::DoNotOptimize(parameters.hash());
}
BENCHMARK(BM_HashWithTwoMasks);

void BM_CompareEqualSets(benchmark::State& state) {
    const PhotoParameters a = editedSet();
    const PhotoParameters b = editedSet();
    for (auto _ : state)
        benchmark::DoNotOptimize(a == b);
}
BENCHMARK(BM_CompareEqualSets);

void BM_CacheLookup(benchmark::State& state) {
    std::unordered_map<PhotoParameters, int> cache;
    for (int i = 0; i < 64; ++i) {
        PhotoParameters key = editedSet();
        key.setValue(i - 32, P::tint);
        cache.emplace(key, i);
    }
    const PhotoParameters probe = editedSet();
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.find(probe));
}
BENCHMARK(BM_CacheLookup);

void BM_LookupTableValues(benchmark::State& state) {
    const PhotoParameters parameters = editedSet();
    for (auto _ : state)
        benchmark::DoNotOptimize(parameters.lookupTableValues());
}
BENCHMARK(BM_LookupTableValues);

void BM_StorageEntries(benchmark::State& state) {
    const PhotoParameters parameters = editedSet();
    for (auto _ : state)
        benchmark::DoNotOptimize(parameters.storageEntries(true));
}
BENCHMARK(BM_StorageEntries);

constexpr int kSide = 2000;

void setPixels(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * kSide * kSide);
}

void BM_PixelLoopBaseline(benchmark::State& state) {
    for (auto _ : state) {
        double sum = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                sum += (x + 0.5) * 1e-9 + y;
        benchmark::DoNotOptimize(sum);
    }
    setPixels(state);
}
BENCHMARK(BM_PixelLoopBaseline)->Unit(benchmark::kMillisecond);

template <typename Plan>
void weighAll(benchmark::State& state, const Plan& plan) {
    for (auto _ : state) {
        double sum = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                sum += plan.weight(x, y);
        benchmark::DoNotOptimize(sum);
    }
    setPixels(state);
}

void BM_CircularWeights(benchmark::State& state) {
    PhotoParameters mask;
    mask.setValue(80, P::circular_mask_size);
    mask.setValue(30, P::circular_mask_angle);
    weighAll(state, *CircularMaskPlan::makeIgnoringAmount(mask, kSide, kSide));
}
BENCHMARK(BM_CircularWeights)->Unit(benchmark::kMillisecond);

void BM_LinearWeights(benchmark::State& state) {
    PhotoParameters mask;
    mask.setValue(25, P::linear_mask_angle);
    weighAll(state, *LinearMaskPlan::makeIgnoringAmount(mask, kSide, kSide));
}
BENCHMARK(BM_LinearWeights)->Unit(benchmark::kMillisecond);

} // namespace
