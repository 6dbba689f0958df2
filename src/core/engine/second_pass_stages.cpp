#include "engine/second_pass_stages.hpp"

#include "engine/detail_box_blur.hpp"

namespace sorvin {

SecondPassStages SecondPassStages::plan(const PhotoParameters& parameters, int width, int height,
                                        const std::optional<VignetteFrame>& vignetteFrame) {
    SecondPassStages stages;
    stages.detail_ = DetailAdjustment::plan(parameters, width, height);
    stages.vignette_ = VignetteAdjustment::plan(parameters, width, height, vignetteFrame);
    stages.grain_ = GrainAdjustment::plan(parameters, width, height);
    return stages;
}

void SecondPassStages::finishInStrips(PixelBuffer& bitmap, const std::function<void(int, int)>& finish,
                                      const std::function<bool()>& stop) {
    const auto finishStrip = [&](int begin, int end) {
        DetailBoxBlur::performParallelBands(
            end - begin, true, [&](int first, int last) { finish(begin + first, begin + last); });
        return !stop();
    };
    if (!detail_) {
        finishStrip(0, bitmap.height());
        return;
    }
    DetailAdjustment::developInStrips(bitmap.data(), bitmap.width(), bitmap.height(), bitmap.bytesPerRow(),
                                      *detail_, DetailAdjustment::stripRows(bitmap.height()),
                                      [&](DetailPlanes& planes, int begin, int end) {
                                          planes_ = &planes;
                                          const bool goOn = finishStrip(begin, end);
                                          planes_ = nullptr;
                                          return goOn;
                                      });
}

void SecondPassStages::applyRow(int y, std::uint8_t* row, int width) const {
    if (detail_ && planes_) DetailAdjustment::applyRow(row, y, *detail_, *planes_);
    if (vignette_) VignetteAdjustment::applyRow(row, y, width, *vignette_);
    if (grain_) GrainAdjustment::applyRow(row, y, width, *grain_);
}

} // namespace sorvin
