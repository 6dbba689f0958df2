// The image loader end to end, on the program's own executor and a main queue served by the
// benchmark thread: a 24 MP JPEG (6000 x 4000) from the request to the published developed image
// at display size (photo area 1400 points at scale 2: a 2816-pixel render of the 3200-pixel
// decode), the same edit when the decode is already cached, and one navigation step to a
// neighbour whose decode the prefetch already holds; then a step onto a RAW photo (the largest RAW
// sample, 4128 x 2176) whose display-ready development was made ahead, against the same step
// developing it. Baseline: one copy of a display-size bitmap.
#include "sample_photos.hpp"
#include "loading/image_loader.hpp"
#include "served_main_queue.hpp"
#include "synthetic_photo.hpp"

#include <benchmark/benchmark.h>
#include <cstring>
#include <filesystem>
#include <vector>

namespace sorvin {
namespace {

constexpr double kArea = 1400, kScale = 2, kZoom = 1;

Photo photoNamed(const std::string& name) {
    Photo photo;
    photo.url = bench::syntheticJpegFile();
    photo.relativePath = name;
    photo.pixelWidth = 6000;
    photo.pixelHeight = 4000;
    return photo;
}

PhotoParameters edit(int exposure) {
    PhotoParameters p;
    p.setValue(exposure, PhotoParameter::exposure);
    p.setValue(25, PhotoParameter::contrast);
    p.setValue(15, PhotoParameter::saturation);
    return p;
}

struct Bench {
    bench::ServedMainQueue mainQueue;
    ThreadPoolExecutor executor;
    ImageLoader loader{mainQueue, executor};

    void waitForDecode(const Photo& photo) {
        mainQueue.serveUntil([&] { return loader.hasDisplayImage({photo.relativePath, PhotoSource::jpeg}); });
    }
    void develop(const Photo& photo, const PhotoParameters& parameters) {
        loader.requestParameters(photo, parameters, std::nullopt, 0, {}, false, kArea, kScale, kZoom);
        // Until the render's result arrives: while it runs, the previous image stands in.
        mainQueue.serveUntil([&] { return !loader.isRenderingParameters(); });
    }
};

// Nothing cached: display decode, downscale and development.
void BM_RequestToPublishedImage(benchmark::State& state) {
    Bench bench;
    const Photo photo = photoNamed("large.jpg");
    int exposure = 1;
    for (auto _ : state) {
        bench.loader.cancelAll();
        bench.loader.prefetch({photo}, 0, {}, std::nullopt);
        bench.waitForDecode(photo);
        bench.develop(photo, edit(exposure));
        exposure = exposure % 50 + 1;
    }
}
BENCHMARK(BM_RequestToPublishedImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// A parameter edit of the photo shown: the decode and its display-size copy are cached.
void BM_EditOfTheShownPhoto(benchmark::State& state) {
    Bench bench;
    const Photo photo = photoNamed("large.jpg");
    bench.loader.prefetch({photo}, 0, {}, std::nullopt);
    bench.waitForDecode(photo);
    int exposure = 1;
    for (auto _ : state) {
        bench.develop(photo, edit(exposure));
        exposure = exposure % 50 + 1;
    }
}
BENCHMARK(BM_EditOfTheShownPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();

// A step to the next photo (developed), as the application makes it: the prefetch already holds
// its decode and, given time between steps, its display-ready image; the step publishes the
// image, then plans the new neighbours. The time between steps (the pause) is not measured.
void BM_NavigationStepFromPrefetchCache(benchmark::State& state) {
    Bench bench;
    std::vector<Photo> row;
    for (int i = 0; i < 9; ++i)
        row.push_back(photoNamed(std::to_string(i).append(".jpg")));
    const auto neighboursOf = [&](int index, int direction) {
        std::vector<ImageLoader::NeighbourView> views;
        for (int offset : {direction, 2 * direction, -direction}) {
            const int at = index + offset;
            if (at >= 0 && at < static_cast<int>(row.size()))
                views.push_back({row[static_cast<std::size_t>(at)], PhotoSource::jpeg, edit(10), 0, {}});
        }
        return views;
    };
    int current = 4;
    int direction = 1;
    bench.loader.prefetch(row, current, {}, std::nullopt);
    for (const Photo& photo : row)
        bench.waitForDecode(photo);
    bench.develop(row[4], edit(10));
    bench.loader.prepareNeighbours(neighboursOf(current, direction), kArea, kScale);
    for (auto _ : state) {
        state.PauseTiming();
        // Between two steps: the neighbours' display-ready images are made.
        bench.mainQueue.serveUntil([&] { return bench.loader.neighbourPreparationCount() == 0; });
        state.ResumeTiming();
        const int next = current + direction;
        bench.loader.clearParameterImage();
        bench.develop(row[static_cast<std::size_t>(next)], edit(10));
        bench.loader.prefetch(row, next, {}, direction);
        bench.loader.prepareNeighbours(neighboursOf(next, direction), kArea, kScale);
        current = next;
        if (current == 3 || current == 5) direction = -direction;
    }
}
BENCHMARK(BM_NavigationStepFromPrefetchCache)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(60);

// The same step when the display-ready image is not there (the earlier way): the step resizes the
// decode and develops it.
void BM_NavigationStepWithoutReadyImage(benchmark::State& state) {
    Bench bench;
    std::vector<Photo> row;
    for (int i = 0; i < 9; ++i)
        row.push_back(photoNamed(std::to_string(i).append(".jpg")));
    bench.loader.prefetch(row, 4, {}, std::nullopt);
    for (const Photo& photo : row)
        bench.waitForDecode(photo);
    int current = 4;
    for (auto _ : state) {
        const int next = current == 4 ? 5 : 4;
        bench.loader.clearParameterImage();
        bench.loader.prefetch(row, next, {}, next - current);
        bench.develop(row[static_cast<std::size_t>(next)], edit(10));
        current = next;
    }
}
BENCHMARK(BM_NavigationStepWithoutReadyImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// Steps back and forth over a row of nine RAW photos (one file under nine names), as the
// application makes them: the old photo's development and RAW cache are dropped, the new photo is
// asked for until its developed image is published, then the new neighbours are listed. With
// `prepared` the neighbours' developments are made between steps, in the unmeasured pause.
void BM_NavigationStepOntoRaw(benchmark::State& state, bool prepared) {
    const auto file = sorvin::bench::samplesDir() / "raw" / "blackmagic_pocket4k.dng";
    if (!std::filesystem::is_regular_file(file)) {
        state.SkipWithError("the DNG sample is missing");
        return;
    }
    Bench bench;
    std::vector<Photo> row;
    for (int i = 0; i < 9; ++i) {
        Photo photo;
        photo.url = file;
        photo.relativePath = std::to_string(i).append(".dng");
        photo.fileFormat = PhotoFileFormat::raw;
        photo.pixelWidth = 4128;
        photo.pixelHeight = 2176;
        row.push_back(photo);
    }
    const auto neighboursOf = [&](int index, int direction) {
        std::vector<ImageLoader::NeighbourView> views;
        for (int offset : {direction, 2 * direction, -direction})
            views.push_back(
                {row[static_cast<std::size_t>(index + offset)], PhotoSource::raw, edit(10), 0, {}});
        return views;
    };
    int current = 4;
    int direction = 1;
    bench.develop(row[4], edit(10));
    if (prepared) bench.loader.prepareNeighbours(neighboursOf(current, direction), kArea, kScale);
    for (auto _ : state) {
        if (prepared) {
            state.PauseTiming();
            bench.mainQueue.serveUntil([&] { return bench.loader.neighbourPreparationCount() == 0; });
            state.ResumeTiming();
        }
        const int next = current + direction;
        bench.loader.clearParameterImage();
        bench.loader.clearRawDevelopmentCache();
        bench.develop(row[static_cast<std::size_t>(next)], edit(10));
        if (!bench.loader.parameterState().image) state.SkipWithError("the DNG sample does not develop");
        if (prepared) bench.loader.prepareNeighbours(neighboursOf(next, direction), kArea, kScale);
        current = next;
        if (current == 3 || current == 5) direction = -direction;
    }
}

BENCHMARK_CAPTURE(BM_NavigationStepOntoRaw, prepared_neighbour, true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(60);
BENCHMARK_CAPTURE(BM_NavigationStepOntoRaw, without_preparation, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

// Baseline: one copy of a 2816 x 1877 RGBA bitmap, the size every render above publishes.
void BM_CopyDisplayBitmap(benchmark::State& state) {
    const std::size_t size = std::size_t{2816} * 1877 * 4;
    std::vector<std::uint8_t> source(size, 7), target(size);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), size);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyDisplayBitmap)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace sorvin
