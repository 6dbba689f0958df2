// The image operations a finished photo goes through before development: upright drawing by
// EXIF orientation, free rotation and sorting the photo list. The memcpy of the same bitmap is
// the baseline.
#include "model/orientation_transform.hpp"
#include "model/photo.hpp"
#include "model/photo_rotation.hpp"
#include "synthetic_photo.hpp"

#include <benchmark/benchmark.h>
#include <cstring>

namespace {

using namespace sorvin;

constexpr int kWidth = bench::kPhotoWidth;
constexpr int kHeight = bench::kPhotoHeight;

SharedImage photo() {
    return bench::syntheticPhoto();
}

void setBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kWidth * kHeight * 4);
}

void BM_MemcpyBaseline(benchmark::State& state) {
    const SharedImage image = photo();
    for (auto _ : state) {
        PixelBuffer copy = image->copyPixels();
        benchmark::DoNotOptimize(copy.data());
    }
    setBytes(state);
}
BENCHMARK(BM_MemcpyBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Orientation(benchmark::State& state) {
    const SharedImage image = photo();
    for (auto _ : state)
        benchmark::DoNotOptimize(
            OrientationTransform::transformedImage(image, static_cast<int>(state.range(0))));
    setBytes(state);
}
BENCHMARK(BM_Orientation)->Arg(2)->Arg(3)->Arg(6)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FreeRotation(benchmark::State& state) {
    const SharedImage image = photo();
    const double degrees = static_cast<double>(state.range(0)) / 10.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(PhotoRotation::transformedImage(image, degrees));
    setBytes(state);
}
BENCHMARK(BM_FreeRotation)->Arg(15)->Arg(915)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SortByDate(benchmark::State& state) {
    std::vector<Photo> photos;
    for (int i = 0; i < state.range(0); ++i) {
        Photo p;
        p.relativePath =
            "day" + std::to_string(i % 7) + "/IMG_" + std::to_string((i * 7919) % 100000) + ".JPG";
        p.url = "/photos/" + p.relativePath;
        if (i % 5) p.captureDate = CaptureDate{} + std::chrono::seconds((i * 37) % 5000);
        photos.push_back(std::move(p));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Photo::sorted(photos));
}
BENCHMARK(BM_SortByDate)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
