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

void SecondPassStages::buildPlanes(PixelBuffer& bitmap) {
    if (!detail_) return;
    planes_ = DetailAdjustment::planesFromBitmap(bitmap.data(), bitmap.width(), bitmap.height(),
                                                 bitmap.bytesPerRow(), *detail_);
}

void SecondPassStages::applyRow(int y, std::uint8_t* row, int width) const {
    if (detail_ && planes_) DetailAdjustment::applyRow(row, y, *detail_, *planes_);
    if (vignette_) VignetteAdjustment::applyRow(row, y, width, *vignette_);
    if (grain_) GrainAdjustment::applyRow(row, y, width, *grain_);
}

} // namespace sorvin
