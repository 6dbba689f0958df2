#pragma once

#include "model/mask_weight_plan.hpp"
#include "model/mask_display_color.hpp"
#include "model/mask_kind.hpp"
#include "model/photo_parameter.hpp"
#include "platform/geometry.hpp"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

class PhotoParameters;

// Everything that differs between mask kinds; one row of the mask kind catalogue.
struct MaskKindDefinition {
    // (a mask's flattened values, bitmap width, bitmap height) -> its weight plan, or none when the
    // bitmap is empty or the mask's amount is 0.
    using WeightPlanHook = std::function<std::optional<MaskWeightPlan>(const PhotoParameters& parameters,
                                                                       int width, int height)>;
    // (pointer, image rectangle in the same coordinates, the mask's values, two unused flags) -> the
    // shape values that put the mask at the pointer.
    using DragValuesHook = std::function<std::optional<std::map<PhotoParameter, int>>(
        Point point, Rect imageRect, const PhotoParameters& parameters, bool flagA, bool flagB)>;

    MaskKind kind;
    char storageSymbol = '\0';
    std::string displayName;
    MaskDisplayColor selectedColor;
    std::vector<PhotoParameter> shapeParameters;
    PhotoParameter amountParameter = PhotoParameter::exposure;
    WeightPlanHook makeWeightPlan;
    DragValuesHook dragValues; // empty when the kind cannot be moved by dragging

    bool hasShapeParameter(PhotoParameter p) const;
    // Position of p in shapeParameters, or none.
    std::optional<int> shapeIndex(PhotoParameter p) const;
};

} // namespace sorvin
