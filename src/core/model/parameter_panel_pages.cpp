#include "model/parameter_panel_pages.hpp"

#include "model/mask_kind_catalog.hpp"

namespace sorvin {

using Columns = std::vector<std::optional<PhotoParameter>>;

std::vector<ParameterLetterPage> ParameterPanelPages::visibleLetterPages(ParameterEditTarget target,
                                                                         bool isRaw) {
    std::vector<ParameterLetterPage> pages;
    for (ParameterLetterPage page : ParameterLetterPages::all) {
        if (page == ParameterLetterPage::geometry) continue;
        if (page == ParameterLetterPage::shape && target.isGlobal()) continue;
        if (page == ParameterLetterPage::rawDevelopment && !(target.isGlobal() && isRaw)) continue;
        pages.push_back(page);
    }
    return pages;
}

Columns ParameterPanelPages::parameters(ParameterPage page, ParameterEditTarget editTarget,
                                        const std::optional<MaskKind>& maskKind, bool isRaw,
                                        const RawDevelopmentSupport& rawDevelopmentSupport) {
    using P = PhotoParameter;
    if (const auto channel = page.curveChannel()) {
        if (*channel == PointCurveChannel::rgb) {
            Columns columns = {P::curve_gamma, P::curve_shadows, P::curve_darks, P::curve_lights,
                               P::curve_highlights};
            for (int k = 0; k < 5; ++k)
                columns.push_back(ParameterCatalog::curvePoint(*channel, k));
            return columns;
        }
        Columns columns(5);
        for (int k = 0; k < 5; ++k)
            columns.push_back(ParameterCatalog::curvePoint(*channel, k));
        return columns;
    }

    const ParameterLetterPage letter = *page.letterPage();
    const auto& row = ParameterCatalog::tabs()[static_cast<int>(letter)];
    switch (letter) {
    case ParameterLetterPage::geometry:
        return editTarget.isGlobal() ? Columns(row.begin(), row.end()) : Columns();
    case ParameterLetterPage::rawDevelopment: {
        if (!isRaw || !editTarget.isGlobal()) return {};
        const auto visible = rawDevelopmentSupport.visibleParameters();
        return Columns(visible.begin(), visible.end());
    }
    case ParameterLetterPage::shape: {
        if (editTarget.isGlobal() || !maskKind) return {};
        const auto* definition = MaskKindCatalog::current().definition(*maskKind);
        if (!definition) return {};
        Columns columns(definition->shapeParameters.begin(), definition->shapeParameters.end());
        columns.resize(ParameterCatalog::columnsPerPage);
        return columns;
    }
    default:
        return Columns(row.begin(), row.end());
    }
}

} // namespace sorvin
