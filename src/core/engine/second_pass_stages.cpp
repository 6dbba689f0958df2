#include "engine/second_pass_stages.hpp"

namespace sorvin {

SecondPassStages SecondPassStages::plan(const PhotoParameters& parameters, int width, int height,
                                        const std::optional<VignetteFrame>& vignetteFrame) {
    SecondPassStages stages;
    stages.detail_ = DetailAdjustment::plan(parameters, width, height);
    stages.vignette_ = VignetteAdjustment::plan(parameters, width, height, vignetteFrame);
    stages.grain_ = GrainAdjustment::plan(parameters, width, height);
    return stages;
}

void SecondPassStages::buildPlanes(const PixelBuffer& bitmap) {
    if (!detail_) return;
    const DetailAdjustmentPlan& plan = *detail_;
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::uint8_t* bytes = bitmap.data();
    const std::size_t bytesPerRow = bitmap.bytesPerRow();
    // Only the planes the plan reads are extracted; the others stay empty.
    DetailPlane luminance;
    if (DetailAdjustment::needsLuminance(plan)) {
        luminance = DetailAdjustment::luminancePlane(bytes, width, height, bytesPerRow, true);
    }
    DetailPlane darkChannel;
    if (DetailAdjustment::needsDarkChannel(plan)) {
        darkChannel = DetailAdjustment::darkChannelPlane(bytes, width, height, bytesPerRow, true);
    }
    DetailAdjustment::ColorPlanes color;
    if (DetailAdjustment::needsColorPlanes(plan)) {
        color = DetailAdjustment::colorPlanes(bytes, width, height, bytesPerRow, true);
    }
    planes_ = DetailAdjustment::makePlanes(std::move(luminance), std::move(darkChannel), std::move(color.red),
                                           std::move(color.green), std::move(color.blue), width, height, plan,
                                           true);
}

void SecondPassStages::applyRow(int y, std::uint8_t* row, int width) const {
    if (detail_ && planes_) DetailAdjustment::applyRow(row, y, *detail_, *planes_);
    if (vignette_) VignetteAdjustment::applyRow(row, y, width, *vignette_);
    if (grain_) GrainAdjustment::applyRow(row, y, width, *grain_);
}

} // namespace sorvin
