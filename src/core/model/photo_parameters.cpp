#include "model/photo_parameters.hpp"

#include "platform/hash_combine.hpp"

#include <algorithm>

namespace sorvin {

using P = PhotoParameter;

PhotoParameters::PhotoParameters(const std::vector<MaskKind>& maskKinds) {
    const std::size_t count = std::min(maskKinds.size(), maximumMaskCount);
    masks.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        masks.push_back(PhotoMask{maskKinds[i], {}});
}

const PhotoMask* PhotoParameters::maskAt(ParameterEditTarget target) const {
    const auto index = target.maskIndex();
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= masks.size()) return nullptr;
    return &masks[static_cast<std::size_t>(*index)];
}

// Parameters that only ever live in the global values, whatever the target says.
static bool isGlobalOnly(PhotoParameter p) {
    return ParameterCatalog::isRawDevelopmentParameter(p) || ParameterCatalog::isGeometryParameter(p);
}

int PhotoParameters::value(PhotoParameter p, ParameterEditTarget target,
                           const MaskKindCatalog& catalog) const {
    if (target.isGlobal() || isGlobalOnly(p)) return values[p];
    const PhotoMask* mask = maskAt(target);
    return mask ? mask->value(p, catalog) : ParameterCatalog::defaultValue(p);
}

void PhotoParameters::setValue(std::int64_t value, PhotoParameter p, ParameterEditTarget target,
                               const MaskKindCatalog& catalog) {
    if (target.isGlobal() || isGlobalOnly(p)) {
        values.set(p, value);
        return;
    }
    if (const PhotoMask* mask = maskAt(target)) {
        masks[static_cast<std::size_t>(mask - masks.data())].setValue(value, p, catalog);
    }
}

std::optional<int> PhotoParameters::appendMask(const MaskKind& kind, const MaskKindCatalog& catalog) {
    if (masks.size() >= maximumMaskCount) return std::nullopt;
    if (!catalog.definition(kind)) return std::nullopt;
    masks.push_back(PhotoMask{kind, {}});
    return static_cast<int>(masks.size()) - 1;
}

std::vector<MaskKind> PhotoParameters::maskKinds() const {
    std::vector<MaskKind> kinds;
    kinds.reserve(masks.size());
    for (const auto& mask : masks)
        kinds.push_back(mask.kind);
    return kinds;
}

void PhotoParameters::synchronizeMaskKinds(const std::vector<MaskKind>& kinds) {
    const std::size_t count = std::min(kinds.size(), maximumMaskCount);
    std::vector<PhotoMask> synchronized;
    synchronized.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (i < masks.size() && masks[i].kind == kinds[i]) {
            synchronized.push_back(std::move(masks[i]));
        } else {
            synchronized.push_back(PhotoMask{kinds[i], {}});
        }
    }
    masks = std::move(synchronized);
}

PhotoParameters PhotoParameters::sanitized(bool allowsRawDevelopment) const {
    PhotoParameters copy = *this;
    if (!allowsRawDevelopment) {
        for (PhotoParameter p : ParameterCatalog::rawDevelopmentParameters())
            copy.values.reset(p);
    }
    return copy;
}

PhotoParameters PhotoParameters::pipelineParameters(ParameterEditTarget target,
                                                    const MaskKindCatalog& catalog) const {
    if (target.isGlobal()) {
        PhotoParameters flat;
        for (PhotoParameter p : ParameterCatalog::adjustmentParameters())
            flat.setValue(values[p], p);
        return flat;
    }
    const PhotoMask* mask = maskAt(target);
    return mask ? mask->pipelineParameters(catalog) : PhotoParameters();
}

bool PhotoParameters::usesDetailStage() const {
    for (P p : {P::texture, P::clarity, P::dehaze, P::sharpen_amount, P::noise_luminance_amount,
                P::noise_color_amount}) {
        if (values[p] != 0) return true;
    }
    return false;
}

bool PhotoParameters::usesPointCurveStage() const {
    for (int i = ParameterCatalog::index(P::curve_point_rgb_0);
         i <= ParameterCatalog::index(P::curve_point_blue_4); ++i) {
        if (!values.isDefault(static_cast<P>(i))) return true;
    }
    return false;
}

bool PhotoParameters::usesToneCurve() const {
    for (P p : {P::curve_shadows, P::curve_darks, P::curve_lights, P::curve_highlights}) {
        if (values[p] != 0) return true;
    }
    return usesPointCurveStage();
}

PhotoParameters PhotoParameters::lookupTableValues() const {
    PhotoParameters reduced;
    for (P p :
         {P::exposure, P::contrast, P::highlights, P::shadows, P::white_level, P::black_level, P::temperature,
          P::tint, P::curve_gamma, P::curve_shadows, P::curve_darks, P::curve_lights, P::curve_highlights}) {
        reduced.setValue(values[p], p);
    }
    for (int i = ParameterCatalog::index(P::curve_point_rgb_0);
         i <= ParameterCatalog::index(P::curve_point_blue_4); ++i) {
        reduced.setValue(values[static_cast<P>(i)], static_cast<P>(i));
    }
    return reduced;
}

std::optional<std::string> PhotoParameters::maskDisplayName(int index, const MaskKindCatalog& catalog) const {
    if (index < 0 || static_cast<std::size_t>(index) >= masks.size()) return std::nullopt;
    const MaskKind& kind = masks[static_cast<std::size_t>(index)].kind;
    const auto* definition = catalog.definition(kind);
    if (!definition) return std::nullopt;
    const auto number = std::count_if(masks.begin(), masks.begin() + index + 1,
                                      [&](const PhotoMask& mask) { return mask.kind == kind; });
    return definition->displayName + std::to_string(number);
}

std::size_t PhotoParameters::hash() const {
    std::size_t seed = values.hash();
    for (const auto& mask : masks)
        hashCombine(seed, mask);
    return seed;
}

} // namespace sorvin
