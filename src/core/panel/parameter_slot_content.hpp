#pragma once

#include "model/parameter_edit_target.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_parameter.hpp"
#include "model/photo_parameters.hpp"
#include "model/raw_development_support.hpp"

#include <optional>
#include <vector>

namespace sorvin {

// One column position of the panel's slot row: a parameter with its 0-based column, or an empty
// place of the same size.
struct ParameterSlotContent {
    std::optional<PhotoParameter> parameter;
    int slot = 0;

    bool isImplemented() const { return parameter.has_value(); }

    // The columns of a page for the edit target: the targeted mask's kind decides a shape page, the
    // RAW support which RAW columns appear. A target naming no mask passes no kind.
    static std::vector<ParameterSlotContent> slots(ParameterPage page, ParameterEditTarget target,
                                                   const PhotoParameters& parameters, bool isRaw,
                                                   const RawDevelopmentSupport& rawDevelopmentSupport);

    friend bool operator==(const ParameterSlotContent&, const ParameterSlotContent&) = default;
};

} // namespace sorvin
