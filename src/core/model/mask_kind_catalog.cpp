#include "model/mask_kind_catalog.hpp"

#include "model/photo_parameters.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

std::optional<MaskWeightPlan> circularWeightPlan(const PhotoParameters& parameters, int width, int height) {
    if (width < 1 || height < 1) return std::nullopt;
    if (parameters[PhotoParameter::circular_mask_amount] == 0) return std::nullopt;
    auto plan = CircularMaskPlan::makeIgnoringAmount(parameters, width, height);
    if (!plan) return std::nullopt;
    return MaskWeightPlan{MaskKind::circular(), *plan};
}

std::optional<MaskWeightPlan> linearWeightPlan(const PhotoParameters& parameters, int width, int height) {
    if (width < 1 || height < 1) return std::nullopt;
    if (parameters[PhotoParameter::linear_mask_amount] == 0) return std::nullopt;
    auto plan = LinearMaskPlan::makeIgnoringAmount(parameters, width, height);
    if (!plan) return std::nullopt;
    return MaskWeightPlan{MaskKind::linear(), *plan};
}

// The centre, in thousandths of the image rectangle, that puts a circular mask under the pointer.
std::optional<std::map<PhotoParameter, int>>
circularCenterAtPoint(Point point, Rect imageRect, const PhotoParameters&, bool flagA, bool flagB) {
    if (flagA || flagB) return std::nullopt;
    if (!(imageRect.width > 0) || !(imageRect.height > 0)) return std::nullopt;
    const double x = std::round((point.x - imageRect.minX()) / imageRect.width * 1000);
    const double y = std::round((point.y - imageRect.minY()) / imageRect.height * 1000);
    // A pointer position that is not a number puts the centre nowhere.
    if (std::isnan(x) || std::isnan(y)) return std::nullopt;
    return std::map<PhotoParameter, int>{
        {PhotoParameter::circular_mask_center_x, static_cast<int>(std::clamp(x, 0.0, 1000.0))},
        {PhotoParameter::circular_mask_center_y, static_cast<int>(std::clamp(y, 0.0, 1000.0))},
    };
}

// One row, filled member by member: GCC 12 takes the colour's string in an aggregate initialiser
// of this type for maybe uninitialised.
MaskKindDefinition definition(MaskKind kind, char storageSymbol, std::string displayName, MaskDisplayColor color,
                              std::vector<PhotoParameter> shapeParameters,
                              MaskKindDefinition::WeightPlanHook makeWeightPlan,
                              MaskKindDefinition::DragValuesHook dragValues) {
    MaskKindDefinition row;
    row.kind = kind;
    row.storageSymbol = storageSymbol;
    row.displayName = std::move(displayName);
    row.selectedColor = std::move(color);
    row.amountParameter = shapeParameters.front();
    row.shapeParameters = std::move(shapeParameters);
    row.makeWeightPlan = std::move(makeWeightPlan);
    row.dragValues = std::move(dragValues);
    return row;
}

MaskKindCatalog makeCurrentCatalog() {
    using P = PhotoParameter;
    MaskKindCatalog catalog;
    // The first shape parameter is the mask's amount.
    catalog.definitions.push_back(definition(
        MaskKind::circular(), 'C', "円形", {"#FF9F0A", 255.0 / 255, 159.0 / 255, 10.0 / 255},
        {P::circular_mask_amount, P::circular_mask_center_x, P::circular_mask_center_y, P::circular_mask_size,
         P::circular_mask_aspect, P::circular_mask_angle, P::circular_mask_feather, P::circular_mask_invert},
        circularWeightPlan, circularCenterAtPoint));
    catalog.definitions.push_back(definition(MaskKind::linear(), 'L', "段階",
                                             {"#BF5AF2", 191.0 / 255, 90.0 / 255, 242.0 / 255},
                                             {P::linear_mask_amount, P::linear_mask_position, P::linear_mask_angle,
                                              P::linear_mask_width, P::linear_mask_invert},
                                             linearWeightPlan, {}));
    return catalog;
}

} // namespace

bool MaskKindDefinition::hasShapeParameter(PhotoParameter p) const {
    return shapeIndex(p).has_value();
}

std::optional<int> MaskKindDefinition::shapeIndex(PhotoParameter p) const {
    const auto found = std::find(shapeParameters.begin(), shapeParameters.end(), p);
    if (found == shapeParameters.end()) return std::nullopt;
    return static_cast<int>(found - shapeParameters.begin());
}

const MaskKindCatalog& MaskKindCatalog::current() {
    static const MaskKindCatalog catalog = makeCurrentCatalog();
    return catalog;
}

const MaskKindDefinition* MaskKindCatalog::definition(const MaskKind& kind) const {
    return definitionForStorageName(kind.rawValue);
}

const MaskKindDefinition* MaskKindCatalog::definitionForStorageName(std::string_view storageName) const {
    for (const auto& definition : definitions) {
        if (definition.kind.rawValue == storageName) return &definition;
    }
    return nullptr;
}

const MaskKindDefinition* MaskKindCatalog::definitionForStorageSymbol(char symbol) const {
    for (const auto& definition : definitions) {
        if (definition.storageSymbol == symbol) return &definition;
    }
    return nullptr;
}

std::optional<std::vector<MaskKind>> MaskKindCatalog::kinds(const std::vector<std::string>& names) const {
    if (names.size() > maximumMaskCount) return std::nullopt;
    std::vector<MaskKind> result;
    result.reserve(names.size());
    for (const auto& name : names) {
        const auto* found = definitionForStorageName(name);
        if (!found) return std::nullopt;
        result.push_back(found->kind);
    }
    return result;
}

} // namespace sorvin
