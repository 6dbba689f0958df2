#include "engine/second_pass_stages.hpp"

#include "engine/detail_box_blur.hpp"
#include "engine/detail_stream.hpp"

namespace sorvin {

SecondPassStages SecondPassStages::plan(const PhotoParameters& parameters, int width, int height,
                                        const std::optional<DevelopmentPlacement>& placement) {
    SecondPassStages stages;
    // The radii follow the whole photo's long edge.
    if (width >= 1 && height >= 1)
        stages.detail_ =
            placement ? DetailAdjustment::plan(parameters, placement->photoWidth, placement->photoHeight)
                      : DetailAdjustment::plan(parameters, width, height);
    std::optional<VignetteFrame> frame;
    if (placement) frame = VignetteAdjustment::frame(*placement);
    stages.vignette_ = VignetteAdjustment::plan(parameters, width, height, frame);
    stages.grain_ = GrainAdjustment::plan(parameters, width, height, placement);
    return stages;
}

void SecondPassStages::sweepInSteps(PixelBuffer& bitmap, const std::function<void(int, int)>& prepare,
                                    const std::function<void(int, int)>& finish,
                                    const std::function<bool()>& stop) {
    if (!detail_) {
        DetailBoxBlur::performParallelBands(bitmap.height(), true, prepare);
        if (!stop()) DetailBoxBlur::performParallelBands(bitmap.height(), true, finish);
        return;
    }
    DetailStream stream(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(), *detail_);
    planes_ = &stream.planes();
    const auto thenGoOn = [&](const std::function<void(int, int)>& rows) {
        return [&](int begin, int end) {
            rows(begin, end);
            return !stop();
        };
    };
    stream.run(thenGoOn(prepare), thenGoOn(finish));
    planes_ = nullptr;
}

void SecondPassStages::applyRow(int y, std::uint8_t* row, int width) const {
    if (detail_ && planes_) DetailAdjustment::applyRow(row, y, *detail_, *planes_);
    if (vignette_) VignetteAdjustment::applyRow(row, y, width, *vignette_);
    if (grain_) GrainAdjustment::applyRow(row, y, width, *grain_);
}

} // namespace sorvin
