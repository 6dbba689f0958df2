// What the photo canvas computes on every pointer movement: the loupe's developed piece of a
// 24-megapixel photo, a loupe move on the main thread once the photo's development for the loupe
// is there (global clarity alone, or with three masks that carry clarity too) and that development
// itself, and the canvas model with a mask guide. The memcpy of the loupe's region is the baseline.
#include "canvas/loupe_developer.hpp"
#include "canvas/loupe_geometry.hpp"
#include "canvas/photo_canvas_model.hpp"
#include "platform/background_executor.hpp"
#include "served_main_queue.hpp"
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

// The photo fitted to 1000 points with a 600-point loupe at the pointer: a 720 x 720 region.
LoupeGeometry loupe(double rotation, Point pointer = {500, 333}) {
    return LoupeGeometry::make(kWidth, kHeight, {1000, 1000.0 * kHeight / kWidth},
                               {0, 0, 1000, 1000.0 * kHeight / kWidth}, pointer, rotation, 600);
}

// Global clarity, and that many circular masks (0 to 3) over the photo that carry clarity as well.
PhotoParameters clarityWithMasks(int masks) {
    PhotoParameters parameters;
    parameters.setValue(40, PhotoParameter::clarity);
    for (int i = 0; i < masks; ++i) {
        const auto mask = parameters.appendMask(MaskKind::circular());
        const ParameterEditTarget target = ParameterEditTarget::mask(*mask);
        parameters.setValue(100, PhotoParameter::circular_mask_amount, target);
        parameters.setValue(2500 + 2500 * i, PhotoParameter::circular_mask_center_x, target);
        parameters.setValue(60, PhotoParameter::circular_mask_size, target);
        parameters.setValue(50, PhotoParameter::clarity, target);
    }
    return parameters;
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
// around the region; global clarity and three masks with clarity (3), whose reaches add up.
void BM_LoupePiece(benchmark::State& state) {
    const SharedImage image = photo();
    PhotoParameters parameters;
    parameters.setValue(30, PhotoParameter::exposure);
    parameters.setValue(20, PhotoParameter::contrast);
    parameters.setValue(-30, PhotoParameter::vignette_amount);
    if (state.range(0) == 1) parameters.setValue(25, PhotoParameter::geometry_distortion);
    if (state.range(0) == 2) parameters.setValue(40, PhotoParameter::clarity);
    if (state.range(0) == 3) parameters = clarityWithMasks(3);
    const LoupeGeometry geometry = loupe(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(LoupeRenderer::render(image, parameters, geometry, {}));
}
BENCHMARK(BM_LoupePiece)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loupe moves on the main thread, the pointer going back and forth so that each move takes a new
// region, with global clarity and as many masks with clarity as the argument says. The developer's
// work runs on the executor; when `developed`, the moves start once the whole photo's development
// is there. The queue outlives the executor, whose work may still report to it.
void moveLoupe(benchmark::State& state, bench::ServedMainQueue& mainQueue, BackgroundExecutor& executor,
               bool developed) {
    LoupeDeveloper developer(mainQueue, executor, [] {});
    const LoupeEdit edit{photo(), clarityWithMasks(static_cast<int>(state.range(0))), 0, {}, {}};
    const LoupeGeometry moves[] = {loupe(0, {480, 320}), loupe(0, {520, 340})};
    developer.picture(edit, moves[0]);
    if (developed) mainQueue.serveUntil([&] { return developer.hasWholeDevelopment(); });
    std::size_t move = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(developer.picture(edit, moves[++move % 2]));
}

void BM_LoupeMove(benchmark::State& state) {
    bench::ServedMainQueue mainQueue;
    ThreadPoolExecutor executor;
    moveLoupe(state, mainQueue, executor, true);
}
BENCHMARK(BM_LoupeMove)->Arg(0)->Arg(3)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same moves while the development is still to come: each hands its region's development to
// the background (here kept waiting) and shows the last region ready.
class HeldExecutor final : public BackgroundExecutor {
public:
    void run(TaskPriority, std::function<void()> task) override { held_.push_back(std::move(task)); }

private:
    std::vector<std::function<void()>> held_;
};

void BM_LoupeMoveBeforeTheDevelopment(benchmark::State& state) {
    bench::ServedMainQueue mainQueue;
    HeldExecutor executor;
    moveLoupe(state, mainQueue, executor, false);
}
BENCHMARK(BM_LoupeMoveBeforeTheDevelopment)->Arg(3)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The loupe's development of the whole photo, made once per edit in the background.
void BM_LoupeWholeDevelopment(benchmark::State& state) {
    const SharedImage image = photo();
    const PhotoParameters parameters = clarityWithMasks(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(LoupeRenderer::renderWhole(image, parameters, 0, {}));
}
BENCHMARK(BM_LoupeWholeDevelopment)
    ->Arg(0)
    ->Arg(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

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
