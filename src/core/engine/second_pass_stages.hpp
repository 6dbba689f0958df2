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
    // Plans for the pass's values and bitmap size, laid out on the whole photo the bitmap is placed
    // in (none: the bitmap is the whole photo and the finished picture); a stage with nothing to do
    // has no plan.
    static SecondPassStages plan(const PhotoParameters& parameters, int width, int height,
                                 const std::optional<DevelopmentPlacement>& placement);

    // At least one stage has a plan.
    bool hasWork() const { return detail_ || vignette_ || grain_; }
    // The detail stage needs planes made from the whole first sweep before any row is finished;
    // without it the second sweep can run row by row right after the first.
    bool needsPlanes() const { return detail_.has_value(); }
    // Has prepare(begin, end) run the first sweep over rows of the bitmap, builds the detail
    // planes from them and has finish(begin, end) run over every row; both in parallel ranges,
    // once each row. The planes are made a step of rows at a time (DetailStream), each step's rows
    // are finished once its planes hold them, and rows are prepared a step before the planes are
    // made from them; the detail stage's colour noise reduction is part of applyRow. No further
    // step is taken once stop() answers true.
    void sweepInSteps(PixelBuffer& bitmap, const std::function<void(int, int)>& prepare,
                      const std::function<void(int, int)>& finish, const std::function<bool()>& stop);
    // Runs the stages over row y of the bitmap. Read-only on the plans: called from every band
    // (with planes, only for the rows of the step being finished).
    void applyRow(int y, std::uint8_t* row, int width) const;

private:
    std::optional<DetailAdjustmentPlan> detail_;
    const DetailPlanes* planes_ = nullptr; // the stream's, while it runs
    std::optional<VignettePlan> vignette_;
    std::optional<GrainPlan> grain_;
};

} // namespace sorvin
