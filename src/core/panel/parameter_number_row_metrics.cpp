#include "panel/parameter_number_row_metrics.hpp"

#include "model/mask_kind_catalog.hpp"
#include "view/panel_colors.hpp"
#include "panel/parameter_number_button_visual_state.hpp"

#include <array>

namespace sorvin {

namespace {

constexpr std::array<std::string_view, 4> kChannelWords{"RGB", "赤", "緑", "青"};

} // namespace

std::string ParameterPageButtonFace::keyText() const {
    return "（" + key + "）";
}

std::optional<MaskDeletionPresentation> MaskDeletionPresentation::make(ParameterEditTarget target,
                                                                       const PhotoParameters& parameters) {
    const auto index = target.maskIndex();
    if (!index) return std::nullopt;
    auto name = parameters.maskDisplayName(*index, MaskKindCatalog::current());
    if (!name) return std::nullopt;
    return MaskDeletionPresentation{*index, std::move(*name)};
}

std::string MaskDeletionPresentation::question() const {
    return "「" + name + "」を削除しますか？";
}

std::vector<ParameterPage> ParameterNumberRowMetrics::pages(ParameterEditTarget target) {
    std::vector<ParameterPage> pages{
        ParameterPage::curve(PointCurveChannel::rgb), ParameterPage::curve(PointCurveChannel::red),
        ParameterPage::curve(PointCurveChannel::green), ParameterPage::curve(PointCurveChannel::blue)};
    if (target.isGlobal()) pages.push_back(ParameterPage::letter(ParameterLetterPage::geometry));
    return pages;
}

ParameterPageButtonFace ParameterNumberRowMetrics::curveButton(PointCurveChannel channel,
                                                               ParameterPage currentPage) {
    const ParameterPage page = ParameterPage::curve(channel);
    const auto state = ParameterNumberButtonVisualStates::of(channel, currentPage);
    const bool selected = currentPage == page;
    return {page,
            std::string(kChannelWords[static_cast<std::size_t>(channel)]) + "カーブ",
            std::to_string(static_cast<int>(channel) + 1),
            selected,
            selected ? PanelColors::white : PanelColors::text,
            ParameterNumberButtonVisualStates::keyTextColor(state),
            ParameterNumberButtonVisualStates::backgroundColor(state)};
}

ParameterPageButtonFace ParameterNumberRowMetrics::letterButton(ParameterLetterPage letter,
                                                                ParameterPage currentPage,
                                                                std::string_view keyLabel) {
    const ParameterPage page = ParameterPage::letter(letter);
    const bool selected = currentPage == page;
    return {page,
            std::string(ParameterLetterPages::displayName(letter)),
            std::string(keyLabel),
            selected,
            selected ? PanelColors::white : PanelColors::text,
            selected ? PanelColors::selectedTabKey : PanelColors::tabKey,
            selected ? PanelColors::accent : PanelColors::separator};
}

} // namespace sorvin
