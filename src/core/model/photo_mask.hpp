#pragma once

#include "model/mask_kind.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/parameter_values.hpp"

#include <cstddef>
#include <cstdint>

namespace sorvin {

class PhotoParameters;

// One mask of a parameter set: its kind and the values set in it. A mask carries the adjustment
// parameters and its kind's shape parameters; every other parameter reads as its default there and
// cannot be written. A mask whose kind the catalogue lacks carries nothing.
struct PhotoMask {
    MaskKind kind;
    ParameterValues storedValues;

    // Whether p has a place in a mask of this kind.
    bool carries(PhotoParameter p, const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;
    int value(PhotoParameter p, const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;
    // Clamps; the default removes the entry; a parameter without a place here changes nothing.
    void setValue(std::int64_t value, PhotoParameter p,
                  const MaskKindCatalog& catalog = MaskKindCatalog::current());

    // The mask's adjustment and shape values as the global values of a set without masks: what the
    // mask's rendering pass and its weight plan read.
    PhotoParameters pipelineParameters(const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;

    // A mask is rendered only when its amount is not 0 and some adjustment value is not at its
    // default; shape values alone do nothing.
    bool isActive(const MaskKindCatalog& catalog = MaskKindCatalog::current()) const;

    std::size_t hash() const;
    friend bool operator==(const PhotoMask&, const PhotoMask&) = default;
};

} // namespace sorvin
