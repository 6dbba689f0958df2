#include "engine/second_pass_stages.hpp"

namespace sorvin {

SecondPassStages SecondPassStages::plan(const PhotoParameters&, int, int,
                                        const std::optional<VignetteFrame>&) {
    return SecondPassStages();
}

bool SecondPassStages::hasWork() const {
    return false;
}

bool SecondPassStages::needsPlanes() const {
    return false;
}

void SecondPassStages::buildPlanes(const PixelBuffer&) {}

void SecondPassStages::applyRow(int, std::uint8_t*, int) const {}

} // namespace sorvin
