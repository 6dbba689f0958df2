// What the photo canvas computes on every pointer movement: the loupe's developed piece of a
// 24-megapixel photo, and the canvas model with a mask guide. The memcpy of the loupe's region
// is the baseline.
#include "canvas/loupe_geometry.hpp"
#include "canvas/photo_canvas_model.hpp"
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

// The photo fitted to 1000 points with a 600-point loupe in the middle: a 720 x 720 region.
LoupeGeometry loupe(double rotation) {
    return LoupeGeometry::make(kWidth, kHeight, {1000, 1000.0 * kHeight / kWidth},
                               {0, 0, 1000, 1000.0 * kHeight / kWidth}, {500, 333}, rotation, 600);
}

void BM_RegionMemcpyBaseline(benchmark::State& state) {
    const SharedImage image = photo();
    const Rect region = *loupe(0).region;
    const auto side = static_cast<std::size_t>(region.width);
    std::vector<std::uint8_t> target(side * side * 4);
    for (auto _ : state) {
        for (std::size_t row = 0; row < side; ++row) {
            std::memcpy(target.data() + row * side * 4,
                        image->row(static_cast<int>(region.minY()) + static_cast<int>(row)) +
                            static_cast<std::size_t>(region.minX()) * 4,
                        side * 4);
        }
        benchmark::DoNotOptimize(target.data());
    }
}
BENCHMARK(BM_RegionMemcpyBaseline)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Tone and a vignette (0), with lens geometry (1), or with clarity (2), which reads the photo
// around the region.
void BM_LoupePiece(benchmark::State& state) {
    const SharedImage image = photo();
    PhotoParameters parameters;
    parameters.setValue(30, PhotoParameter::exposure);
    parameters.setValue(20, PhotoParameter::contrast);
    parameters.setValue(-30, PhotoParameter::vignette_amount);
    if (state.range(0) == 1) parameters.setValue(25, PhotoParameter::geometry_distortion);
    if (state.range(0) == 2) parameters.setValue(40, PhotoParameter::clarity);
    const LoupeGeometry geometry = loupe(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoupeRenderer::render(image, parameters, geometry, {}));
}
BENCHMARK(BM_LoupePiece)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CanvasModelWithMaskGuide(benchmark::State& state) {
    PhotoCanvasInputs in;
    in.area = {1200, 800};
    in.displayImage = photo();
    in.orientedSize = {kWidth, kHeight};
    in.rotation = 3.5;
    in.showGrid = true;
    in.zoom = {2, {40, -20}};
    in.currentParameters.appendMask(MaskKind::circular());
    in.currentParameters.appendMask(MaskKind::linear());
    in.editTarget = ParameterEditTarget::mask(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(PhotoCanvasModel::make(in));
}
BENCHMARK(BM_CanvasModelWithMaskGuide)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
