#pragma once

#include "model/mask_kind_catalog.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/photo_parameters.hpp"
#include "platform/srgb_color.hpp"

#include <optional>

namespace sorvin {

// The colour that marks the edited mask along the panel's top edge.
struct ParameterEditTargetPalette {
    // None for the global target, a mask index out of range, or a kind the catalogue lacks.
    static std::optional<SrgbColor> color(ParameterEditTarget target, const PhotoParameters& parameters,
                                          const MaskKindCatalog& catalog = MaskKindCatalog::current());
};

} // namespace sorvin
