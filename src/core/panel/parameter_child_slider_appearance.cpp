#include "panel/parameter_child_slider_appearance.hpp"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>
#include <vector>

namespace sorvin {

namespace {

using P = PhotoParameter;

struct Family {
    PhotoParameter parent;
    std::vector<PhotoParameter> children;
};

const std::array<Family, 5>& families() {
    static const std::array<Family, 5> table{{
        {P::blackwhite_amount,
         {P::blackwhite_red, P::blackwhite_orange, P::blackwhite_yellow, P::blackwhite_green,
          P::blackwhite_aqua, P::blackwhite_blue, P::blackwhite_purple, P::blackwhite_magenta}},
        {P::vignette_amount, {P::vignette_midpoint, P::vignette_roundness, P::vignette_feather}},
        {P::grain_amount, {P::grain_size, P::grain_roughness}},
        {P::sharpen_amount, {P::sharpen_radius, P::sharpen_detail, P::sharpen_mask}},
        {P::noise_luminance_amount, {P::noise_luminance_detail}},
    }};
    return table;
}

} // namespace

std::optional<PhotoParameter> ParameterChildSliderAppearance::parent(PhotoParameter parameter) {
    for (const Family& family : families())
        if (std::find(family.children.begin(), family.children.end(), parameter) != family.children.end())
            return family.parent;
    return std::nullopt;
}

double ParameterChildSliderAppearance::opacity(PhotoParameter parameter, const PhotoParameters& parameters,
                                               ParameterEditTarget target) {
    const auto parentParameter = parent(parameter);
    if (!parentParameter) return 1.0;
    return parameters.value(*parentParameter, target) == 0 ? dimmedOpacity : 1.0;
}

} // namespace sorvin
