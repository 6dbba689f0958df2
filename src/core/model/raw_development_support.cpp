#include "model/raw_development_support.hpp"

namespace sorvin {

std::array<std::optional<PhotoParameter>, ParameterCatalog::columnsPerPage>
RawDevelopmentSupport::visibleParameters() const {
    using P = PhotoParameter;
    // The contrast flag has no slider of its own.
    const std::pair<P, bool> columns[ParameterCatalog::columnsPerPage] = {
        {P::raw_exposure, true},
        {P::raw_temperature, true},
        {P::raw_tint, true},
        {P::raw_boost, true},
        {P::raw_boost_shadow, true},
        {P::raw_detail, detail},
        {P::raw_sharpness, sharpness},
        {P::raw_noise_color, colorNoiseReduction},
        {P::raw_noise_luminance, luminanceNoiseReduction},
        {P::raw_lens_correction, lensCorrection},
    };
    std::array<std::optional<PhotoParameter>, ParameterCatalog::columnsPerPage> visible{};
    for (std::size_t i = 0; i < visible.size(); ++i) {
        if (columns[i].second) visible[i] = columns[i].first;
    }
    return visible;
}

} // namespace sorvin
