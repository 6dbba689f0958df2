#include "model/photo_mask.hpp"

#include "model/photo_parameters.hpp"
#include "platform/hash_combine.hpp"

namespace sorvin {

bool PhotoMask::carries(PhotoParameter p, const MaskKindCatalog& catalog) const {
    const auto* definition = catalog.definition(kind);
    if (!definition) return false;
    return ParameterCatalog::isAdjustmentParameter(p) || definition->hasShapeParameter(p);
}

int PhotoMask::value(PhotoParameter p, const MaskKindCatalog& catalog) const {
    return carries(p, catalog) ? storedValues[p] : ParameterCatalog::defaultValue(p);
}

void PhotoMask::setValue(std::int64_t value, PhotoParameter p, const MaskKindCatalog& catalog) {
    if (carries(p, catalog)) storedValues.set(p, value);
}

PhotoParameters PhotoMask::pipelineParameters(const MaskKindCatalog& catalog) const {
    PhotoParameters flat;
    const auto* definition = catalog.definition(kind);
    if (!definition) return flat;
    for (PhotoParameter p : ParameterCatalog::adjustmentParameters())
        flat.setValue(value(p, catalog), p);
    for (PhotoParameter p : definition->shapeParameters)
        flat.setValue(value(p, catalog), p);
    return flat;
}

bool PhotoMask::isActive(const MaskKindCatalog& catalog) const {
    const auto* definition = catalog.definition(kind);
    if (!definition) return false;
    if (value(definition->amountParameter, catalog) == 0) return false;
    for (PhotoParameter p : ParameterCatalog::adjustmentParameters()) {
        if (!storedValues.isDefault(p)) return true;
    }
    return false;
}

std::size_t PhotoMask::hash() const {
    std::size_t seed = storedValues.hash();
    hashCombine(seed, kind);
    return seed;
}

} // namespace sorvin
