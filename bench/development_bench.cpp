// Development of a photo-sized bitmap: nothing to do, tone tables only, every colour stage of the
// first sweep, and the same with a circular and a linear mask; each on all cores and on one thread,
// beside a memcpy of the same buffer as the baseline. A memcpy split into the development's row
// bands, on all cores and on one thread, gives the speed-up memory-bound work can reach at most.
#include "engine/display_adjustment_resolution.hpp"
#include "engine/parameter_adjustment.hpp"
#include "engine/row_bands.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/photo_parameters.hpp"

#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>
#include <random>
#include <tbb/task_arena.h>
#include <vector>

namespace sorvin {
namespace {

// Smooth colour gradients with some noise, so every hue and branch of the colour stages is taken.
SharedImage photoLikeImage(int width, int height) {
    PixelBuffer buffer(width, height);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = buffer.row(y);
        for (int x = 0; x < width; ++x) {
            const int r = 255 * x / width + noise(random);
            const int g = 255 * y / height + noise(random);
            const int b = 255 - 255 * (x + y) / (width + height) + noise(random);
            row[4 * x] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
            row[4 * x + 1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
            row[4 * x + 2] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
            row[4 * x + 3] = 255;
        }
    }
    return makeImage(std::move(buffer));
}

const SharedImage& imageOfSize(int width, int height) {
    static SharedImage large = photoLikeImage(6000, 4000);
    static SharedImage medium = photoLikeImage(2560, 1707);
    return width == large->width() && height == large->height() ? large : medium;
}

enum Case { nothing, toneTables, everyColorStage, withMasks };

PhotoParameters parametersFor(Case c) {
    using P = PhotoParameter;
    PhotoParameters p;
    if (c == nothing) return p;
    p.setValue(20, P::exposure);
    p.setValue(30, P::contrast);
    p.setValue(-40, P::highlights);
    p.setValue(35, P::shadows);
    p.setValue(25, P::temperature);
    p.setValue(10, P::curve_darks);
    p.setValue(60, P::curve_point_rgb_2);
    if (c == toneTables) return p;
    p.setValue(20, P::saturation);
    p.setValue(30, P::vibrance);
    p.setValue(40, P::hue_red);
    p.setValue(-30, P::saturation_blue);
    p.setValue(25, P::luminance_green);
    p.setValue(60, P::blackwhite_amount);
    p.setValue(50, P::blackwhite_red);
    p.setValue(40, P::grading_shadows_saturation);
    p.setValue(30, P::grading_highlights_hue);
    p.setValue(20, P::grading_highlights_saturation);
    if (c == everyColorStage) return p;
    const int circular = *p.appendMask(MaskKind{"circular"});
    p.setValue(80, P::circular_mask_amount, ParameterEditTarget::mask(circular));
    p.setValue(40, P::exposure, ParameterEditTarget::mask(circular));
    const int linear = *p.appendMask(MaskKind{"linear"});
    p.setValue(60, P::linear_mask_amount, ParameterEditTarget::mask(linear));
    p.setValue(-30, P::temperature, ParameterEditTarget::mask(linear));
    p.setValue(20, P::saturation, ParameterEditTarget::mask(linear));
    return p;
}

void runDevelopment(benchmark::State& state, Case c, int width, int height, bool oneThread) {
    const SharedImage& image = imageOfSize(width, height);
    const PhotoParameters parameters = parametersFor(c);
    const auto develop = [&] {
        benchmark::DoNotOptimize(
            ParameterAdjustment::applying(image, parameters, std::nullopt, MaskKindCatalog::current()));
    };
    tbb::task_arena arena(oneThread ? 1 : tbb::task_arena::automatic);
    arena.execute(develop); // warms the table cache
    for (auto _ : state)
        arena.execute(develop);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image->byteCount()));
}

void memcpyBaseline(benchmark::State& state, int width, int height) {
    const SharedImage& image = imageOfSize(width, height);
    auto target = std::make_unique_for_overwrite<std::uint8_t[]>(image->byteCount());
    std::memcpy(target.get(), image->data(), image->byteCount());
    for (auto _ : state) {
        std::memcpy(target.get(), image->data(), image->byteCount());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image->byteCount()));
}

void bandedMemcpy(benchmark::State& state, int width, int height, bool oneThread) {
    const SharedImage& image = imageOfSize(width, height);
    auto target = std::make_unique_for_overwrite<std::uint8_t[]>(image->byteCount());
    const std::size_t rowBytes = image->bytesPerRow();
    const auto copy = [&] {
        RowBands::of(height).run([&](int begin, int end) {
            std::memcpy(target.get() + rowBytes * static_cast<std::size_t>(begin), image->row(begin),
                        rowBytes * static_cast<std::size_t>(end - begin));
        });
    };
    tbb::task_arena arena(oneThread ? 1 : tbb::task_arena::automatic);
    arena.execute(copy);
    for (auto _ : state) {
        arena.execute(copy);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image->byteCount()));
}

// The preview path first brings the decoded photo down to display size.
void displayDownscale(benchmark::State& state) {
    const SharedImage& image = imageOfSize(6000, 4000);
    for (auto _ : state)
        benchmark::DoNotOptimize(DisplayAdjustmentResolution::resized(image, 2560));
}

void registerAll() {
    benchmark::RegisterBenchmark("display_downscale/6000x4000_to_2560", displayDownscale)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    for (auto [width, height] : {std::pair{6000, 4000}, std::pair{2560, 1707}}) {
        const std::string size = std::to_string(width) + "x" + std::to_string(height);
        benchmark::RegisterBenchmark(("memcpy/" + size).c_str(), memcpyBaseline, width, height)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        for (bool oneThread : {false, true}) {
            const std::string label = "memcpy_banded/" + size + (oneThread ? "/one_thread" : "/all_cores");
            benchmark::RegisterBenchmark(label.c_str(), bandedMemcpy, width, height, oneThread)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
        const std::pair<Case, const char*> cases[] = {{nothing, "a_nothing"},
                                                      {toneTables, "b_tone_tables"},
                                                      {everyColorStage, "c_every_colour_stage"},
                                                      {withMasks, "d_colour_and_two_masks"}};
        for (auto [c, name] : cases) {
            for (bool oneThread : {false, true}) {
                const std::string label =
                    std::string(name) + "/" + size + (oneThread ? "/one_thread" : "/all_cores");
                benchmark::RegisterBenchmark(label.c_str(), runDevelopment, c, width, height, oneThread)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            }
        }
    }
}

const bool registered = (registerAll(), true);

} // namespace
} // namespace sorvin
