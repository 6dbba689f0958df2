#pragma once

#include "model/parameter_edit_target.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_parameters.hpp"
#include "platform/srgb_color.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// The drawn face of a tab or number-row button: the name, then the key in full-width parentheses.
struct ParameterPageButtonFace {
    ParameterPage page = ParameterPage::letter(ParameterLetterPage::basic);
    std::string name;
    std::string key;
    bool isSelected = false;
    SrgbColor nameColor;
    SrgbColor keyColor;
    SrgbColor backgroundColor;

    // "（" + key + "）"
    std::string keyText() const;

    friend bool operator==(const ParameterPageButtonFace&, const ParameterPageButtonFace&) = default;
};

// The mask offered for deletion in the number row, with its tab name.
struct MaskDeletionPresentation {
    int index = 0;
    std::string name;

    // None for the global target, and for a mask index the parameters do not have.
    static std::optional<MaskDeletionPresentation> make(ParameterEditTarget target,
                                                        const PhotoParameters& parameters);
    // "「円形1」を削除しますか？"
    std::string question() const;

    friend bool operator==(const MaskDeletionPresentation&, const MaskDeletionPresentation&) = default;
};

// What the number row and the tab row of the panel show.
struct ParameterNumberRowMetrics {
    // The four curve pages, then the geometry page for the global target.
    static std::vector<ParameterPage> pages(ParameterEditTarget target);
    // The face of a curve-channel button ("RGBカーブ" with key "1" ...).
    static ParameterPageButtonFace curveButton(PointCurveChannel channel, ParameterPage currentPage);
    // The face of a letter tab or the geometry button; `keyLabel` is empty when the page has none.
    static ParameterPageButtonFace letterButton(ParameterLetterPage page, ParameterPage currentPage,
                                                std::string_view keyLabel);
};

} // namespace sorvin
