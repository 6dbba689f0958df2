#pragma once

#include "engine/detail_adjustment.hpp"
#include "engine/grain_adjustment.hpp"
#include "engine/vignette_adjustment.hpp"
#include "platform/image.hpp"

#include <cstdint>
#include <functional>
#include <optional>

namespace sorvin {

class PhotoParameters;

// The stages of a pass's second sweep that come before the mask blend, in their order: detail
// (texture, clarity, dehaze, sharpening, noise reduction), vignette, grain. The driver builds them
// once per pass, lets them build their planes from the first sweep's result, and then hands them
// each row of the bitmap. Each stage reads only its own pixel and the planes, so a row may be
// taken stage by stage.
class SecondPassStages {
public:
    // Plans for the pass's values and bitmap size; a stage with nothing to do has no plan.
    static SecondPassStages plan(const PhotoParameters& parameters, int width, int height,
                                 const std::optional<VignetteFrame>& vignetteFrame);

    // At least one stage has a plan.
    bool hasWork() const { return detail_ || vignette_ || grain_; }
    // The detail stage needs planes made from the whole first sweep before any row is finished;
    // without it the second sweep can run row by row right after the first.
    bool needsPlanes() const { return detail_.has_value(); }
    // Builds the detail planes from the bitmap as the first sweep left it and has finish(begin,
    // end) run over every row in parallel ranges. The planes are made a strip of rows at a time
    // (bands in parallel inside), and a strip's rows are finished before the next is built; the
    // detail stage's colour noise reduction is applied to the bitmap on the way. No further strip
    // is built once stop() answers true.
    void finishInStrips(PixelBuffer& bitmap, const std::function<void(int, int)>& finish,
                        const std::function<bool()>& stop);
    // Runs the stages over row y of the bitmap. Read-only on the plans: called from every band
    // (with planes, only for the rows of the strip being finished).
    void applyRow(int y, std::uint8_t* row, int width) const;

private:
    std::optional<DetailAdjustmentPlan> detail_;
    const DetailPlanes* planes_ = nullptr; // the strip's, while it is finished
    std::optional<VignettePlan> vignette_;
    std::optional<GrainPlan> grain_;
};

} // namespace sorvin
