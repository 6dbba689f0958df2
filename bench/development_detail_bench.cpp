// Development at full size (6000 x 4000) and display size (2560 x 1707) with (e) every detail
// feature, (f) vignette and grain, (g) the lens geometry with every value set, and (h) every detail
// feature after tone, colour and grading, as a photo worked on from top to bottom is. Each case runs
// on all cores and on one thread, beside a memcpy of the same bitmap measured in the same run; the
// developments report their working memory above the input. The detail stage's box passes are
// measured alone beside a copy of their plane.
#include "engine/detail_box_blur.hpp"
#include "engine/detail_plane.hpp"
#include "engine/geometry_adjustment.hpp"
#include "engine/parameter_adjustment.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"
#include "platform/image.hpp"

#include <benchmark/benchmark.h>
#include <cstring>
#include <random>
#include <tbb/global_control.h>
#include <tbb/task_arena.h>

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

const SharedImage& imageFor(const benchmark::State& state) {
    static SharedImage full = testImage(6000, 4000);
    static SharedImage display = testImage(2560, 1707);
    return state.range(0) == full->width() && state.range(1) == full->height() ? full : display;
}

// Arguments: width, height, threads (0 = all cores). Runs body in an arena of that many threads,
// as on a machine with that many cores: the stages see how many threads they have.
template <typename Body>
void onThreads(const benchmark::State& state, const Body& body) {
    if (state.range(2) == 0) return body();
    const auto threads = static_cast<int>(state.range(2));
    const tbb::global_control limit(tbb::global_control::max_allowed_parallelism,
                                    static_cast<std::size_t>(threads));
    tbb::task_arena(threads).execute(body);
}

void setCounters(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0) * state.range(1) *
                            4);
}

PhotoParameters parametersWith(std::initializer_list<std::pair<PhotoParameter, int>> values) {
    PhotoParameters parameters;
    for (auto [p, v] : values)
        parameters.setValue(v, p);
    return parameters;
}

void BM_Memcpy(benchmark::State& state) {
    const SharedImage& image = imageFor(state);
    PixelBuffer copy = PixelBuffer::forOverwrite(image->width(), image->height());
    for (auto _ : state) {
        std::memcpy(copy.data(), image->data(), image->byteCount());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    setCounters(state);
}

void developWith(benchmark::State& state, const PhotoParameters& parameters) {
    const SharedImage& image = imageFor(state);
    DetailPlane::resetPeakLiveBytes();
    const std::size_t liveBefore = DetailPlane::liveBytes();
    onThreads(state, [&] {
        for (auto _ : state) {
            SharedImage result =
                ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current());
            benchmark::DoNotOptimize(result.get());
        }
    });
    setCounters(state);
    // Working memory above the input: the developed bitmap and the most plane bytes alive at once.
    const double planes = static_cast<double>(DetailPlane::peakLiveBytes() - liveBefore);
    const double imageBytes = static_cast<double>(image->byteCount());
    state.counters["extra_MiB"] = (planes + imageBytes) / (1 << 20);
    state.counters["extra_images"] = (planes + imageBytes) / imageBytes;
}

// (e) Texture, clarity, dehaze, sharpening, luminance and colour noise reduction.
PhotoParameters everyDetailFeature() {
    using P = PhotoParameter;
    return parametersWith({{P::texture, 30},
                           {P::clarity, 25},
                           {P::dehaze, 20},
                           {P::sharpen_amount, 60},
                           {P::sharpen_mask, 30},
                           {P::noise_luminance_amount, 40},
                           {P::noise_color_amount, 50}});
}

void BM_EveryDetailFeature(benchmark::State& state) {
    developWith(state, everyDetailFeature());
}

// (h) The same after tone, white balance, colour by hue and grading: the first loop's work, done in
// the detail stage's sweep a step ahead of the rows it reads.
void BM_ToneColourAndDetail(benchmark::State& state) {
    using P = PhotoParameter;
    PhotoParameters parameters = everyDetailFeature();
    for (auto [p, v] : {std::pair{P::exposure, 30},
                        {P::contrast, 20},
                        {P::highlights, -30},
                        {P::shadows, 25},
                        {P::saturation, 10},
                        {P::vibrance, 15},
                        {P::temperature, 10},
                        {P::hue_red, 10},
                        {P::saturation_blue, -20},
                        {P::luminance_orange, 15},
                        {P::grading_shadows_hue, 200},
                        {P::grading_shadows_saturation, 20}})
        parameters.setValue(v, p);
    developWith(state, parameters);
}

// (f) Vignette with a moved shape, and rough grain.
void BM_VignetteAndGrain(benchmark::State& state) {
    using P = PhotoParameter;
    developWith(state, parametersWith({{P::vignette_amount, 40},
                                       {P::vignette_midpoint, -20},
                                       {P::vignette_roundness, 30},
                                       {P::vignette_feather, 10},
                                       {P::grain_amount, 35},
                                       {P::grain_size, 40},
                                       {P::grain_roughness, 50}}));
}

// (g) Every lens and perspective value.
void BM_LensGeometry(benchmark::State& state) {
    const SharedImage& image = imageFor(state);
    const GeometryValues values{25, 40, -35, 20, -15, 10, 20};
    onThreads(state, [&] {
        for (auto _ : state) {
            SharedImage result = GeometryAdjustment::applying(image, values, true);
            benchmark::DoNotOptimize(result.get());
        }
    });
    setCounters(state);
}

// One box pass over a 24 MP plane in place, horizontal (0) or vertical (1), with the radius of
// texture (18) or clarity (240) at that size, beside a copy of the plane (2).
void BM_BoxPass(benchmark::State& state) {
    const int width = 6000, height = 4000;
    static const DetailPlane source = [] {
        DetailPlane plane = DetailPlane::forOverwrite(width, height);
        std::mt19937 random(7);
        for (std::size_t i = 0; i < plane.size(); ++i)
            plane.data()[i] = static_cast<std::uint8_t>(random());
        return plane;
    }();
    DetailPlane plane = DetailPlane::forOverwrite(width, height);
    std::memcpy(plane.data(), source.data(), plane.size());
    const int radius = static_cast<int>(state.range(0));
    const auto kind = state.range(1);
    for (auto _ : state) {
        if (kind == 0) {
            DetailBoxBlur::horizontalPass(plane.data(), plane.data(), width, height, radius, true);
        } else if (kind == 1) {
            DetailBoxBlur::verticalPass(plane.data(), plane.data(), width, height, radius, true);
        } else {
            std::memcpy(plane.data(), source.data(), plane.size());
        }
        benchmark::DoNotOptimize(plane.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height);
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

BENCHMARK(BM_Memcpy)->Apply(baselineSizes);
BENCHMARK(BM_BoxPass)
    ->Args({0, 2})
    ->Args({18, 0})
    ->Args({240, 0})
    ->Args({18, 1})
    ->Args({240, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_EveryDetailFeature)->Apply(sizes);
BENCHMARK(BM_VignetteAndGrain)->Apply(sizes);
BENCHMARK(BM_LensGeometry)->Apply(sizes);
BENCHMARK(BM_ToneColourAndDetail)->Apply(sizes);

} // namespace
} // namespace sorvin
