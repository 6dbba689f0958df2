#pragma once

#include "model/mask_kind.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_parameter.hpp"
#include "model/raw_development_support.hpp"

#include <optional>
#include <vector>

namespace sorvin {

// Which pages the adjustment panel offers and what each of their ten columns holds, for the edit
// target, the targeted mask's kind and whether the photo is shown from its RAW file.
struct ParameterPanelPages {
    // The lettered pages offered as tabs, in case order. The geometry page is never a tab (it has
    // a key command of its own).
    static std::vector<ParameterLetterPage> visibleLetterPages(ParameterEditTarget target, bool isRaw);

    // The page's ten columns (an empty column is none), or an empty list when the page has nothing
    // for this target.
    static std::vector<std::optional<PhotoParameter>>
    parameters(ParameterPage page, ParameterEditTarget editTarget, const std::optional<MaskKind>& maskKind,
               bool isRaw, const RawDevelopmentSupport& rawDevelopmentSupport);
};

} // namespace sorvin
