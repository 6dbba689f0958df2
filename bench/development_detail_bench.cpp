// Detail, vignette and grain, and the lens geometry at full size (6000 x 4000) and display size
// (2560 x 1707). Each case runs on all cores and on one thread, beside a memcpy of the same bitmap.
#include "engine/detail_adjustment.hpp"
#include "engine/detail_box_blur.hpp"
#include "engine/geometry_adjustment.hpp"
#include "engine/grain_adjustment.hpp"
#include "engine/vignette_adjustment.hpp"
#include "model/photo_parameters.hpp"
#include "platform/image.hpp"

#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <tbb/global_control.h>
#include <tbb/parallel_for.h>

namespace sorvin {
namespace {

// A photo-like bitmap: smooth gradients with fine noise, so every stage has work.
SharedImage testImage(int width, int height) {
    PixelBuffer buffer = PixelBuffer::forOverwrite(width, height);
    std::mt19937 random(3);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = buffer.row(y);
        for (int x = 0; x < width; ++x, p += 4) {
            const unsigned n = random() & 15;
            p[0] = static_cast<std::uint8_t>((x * 200 / width + n) & 0xFF);
            p[1] = static_cast<std::uint8_t>((y * 200 / height + n) & 0xFF);
            p[2] = static_cast<std::uint8_t>(((x + y) * 100 / (width + height) + 60 + n) & 0xFF);
            p[3] = 255;
        }
    }
    return makeImage(std::move(buffer));
}

const SharedImage& imageFor(int width, int height) {
    static SharedImage full = testImage(6000, 4000);
    static SharedImage display = testImage(2560, 1707);
    return width == full->width() && height == full->height() ? full : display;
}

// Arguments: width, height, threads (0 = all cores).
std::unique_ptr<tbb::global_control> limitThreads(const benchmark::State& state) {
    if (state.range(2) == 0) return nullptr;
    return std::make_unique<tbb::global_control>(tbb::global_control::max_allowed_parallelism,
                                                 static_cast<std::size_t>(state.range(2)));
}

void setCounters(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * state.range(1) *
                            4);
}

void BM_Memcpy(benchmark::State& state) {
    const SharedImage& image = imageFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    PixelBuffer copy = PixelBuffer::forOverwrite(image->width(), image->height());
    for (auto _ : state) {
        std::memcpy(copy.data(), image->data(), image->byteCount());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    setCounters(state);
}

void BM_GeometryAllValues(benchmark::State& state) {
    const auto limit = limitThreads(state);
    const SharedImage& image = imageFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const GeometryValues values{25, 40, -35, 20, -15, 10, 20};
    for (auto _ : state) {
        SharedImage result = GeometryAdjustment::applying(image, values, true);
        benchmark::DoNotOptimize(result.get());
    }
    setCounters(state);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (auto [w, h] : {std::pair{6000, 4000}, std::pair{2560, 1707}}) {
        b->Args({w, h, 0});
        b->Args({w, h, 1});
    }
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void baselineSizes(benchmark::internal::Benchmark* b) {
    b->Args({6000, 4000, 0})->Args({2560, 1707, 0})->Unit(benchmark::kMillisecond)->UseRealTime();
}

// The detail work of one pass as the pipeline runs it: planes, blurs, then every row.
void BM_DetailStageOnly(benchmark::State& state) {
    const auto limit = limitThreads(state);
    const SharedImage& image = imageFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    PhotoParameters parameters;
    for (auto [p, v] : {std::pair{PhotoParameter::texture, 30},
                        {PhotoParameter::clarity, 25},
                        {PhotoParameter::dehaze, 20},
                        {PhotoParameter::sharpen_amount, 60},
                        {PhotoParameter::sharpen_mask, 30},
                        {PhotoParameter::noise_luminance_amount, 40},
                        {PhotoParameter::noise_color_amount, 50}})
        parameters.setValue(v, p);
    const int w = image->width(), h = image->height();
    const auto plan = *DetailAdjustment::plan(parameters, w, h);
    for (auto _ : state) {
        PixelBuffer bitmap = image->copyPixels();
        const DetailPlanes planes =
            DetailAdjustment::planesFromBitmap(bitmap.data(), w, h, bitmap.bytesPerRow(), plan);
        tbb::parallel_for(0, 16, [&](int band) {
            const int rows = (h + 15) / 16;
            for (int y = band * rows; y < std::min(h, (band + 1) * rows); ++y)
                DetailAdjustment::applyRow(bitmap.row(y), y, plan, planes);
        });
        benchmark::DoNotOptimize(bitmap.data());
    }
    setCounters(state);
}

void BM_VignetteAndGrainStageOnly(benchmark::State& state) {
    const auto limit = limitThreads(state);
    const SharedImage& image = imageFor(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int w = image->width(), h = image->height();
    for (auto _ : state) {
        const auto vignette = *VignetteAdjustment::plan(40, -20, 30, 10, w, h, std::nullopt);
        const auto grain = *GrainAdjustment::plan(35, 40, 50, w, h);
        PixelBuffer bitmap = image->copyPixels();
        tbb::parallel_for(0, 16, [&](int band) {
            const int rows = (h + 15) / 16;
            for (int y = band * rows; y < std::min(h, (band + 1) * rows); ++y) {
                VignetteAdjustment::applyRow(bitmap.row(y), y, w, vignette);
                GrainAdjustment::applyRow(bitmap.row(y), y, w, grain);
            }
        });
        benchmark::DoNotOptimize(bitmap.data());
    }
    setCounters(state);
}

BENCHMARK(BM_Memcpy)->Apply(baselineSizes);
BENCHMARK(BM_VignetteAndGrainStageOnly)->Apply(sizes);
BENCHMARK(BM_DetailStageOnly)->Apply(sizes);
BENCHMARK(BM_GeometryAllValues)->Apply(sizes);

} // namespace
} // namespace sorvin
