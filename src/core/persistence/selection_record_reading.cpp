#include "persistence/selection_record_reading.hpp"

#include "platform/unicode_text.hpp"

#include <algorithm>
#include <stdexcept>

namespace sorvin::SelectionRecordReading {

using namespace SelectionJSONValue;

std::string photoPath(std::string_view stored) {
    return UnicodeText::nfc(stored).value_or(std::string(stored));
}

Header header(const Json& document) {
    Header result;
    auto app = string(member(document, "app"));
    auto updatedAt = string(member(document, "updatedAt"));
    if (!app || !updatedAt) throw std::runtime_error("record without app or updatedAt");
    result.app = std::move(*app);
    result.updatedAt = std::move(*updatedAt);
    if (const Json* cursor = member(document, "cursor"); cursor && !cursor->is_null()) {
        if (!cursor->is_string()) throw std::runtime_error("record cursor is not a string");
        result.cursor = photoPath(cursor->get<std::string>());
    }
    return result;
}

std::optional<ManualCrop> crop(const Json* value) {
    if (!object(value)) return std::nullopt;
    const auto aspectText = string(member(*value, "aspect"));
    const auto size = integer(member(*value, "size"));
    const auto x = integer(member(*value, "x"));
    const auto y = integer(member(*value, "y"));
    if (!aspectText || !size || !x || !y) return std::nullopt;
    const auto aspect = CropAspect::fromStorageText(*aspectText);
    if (!aspect) return std::nullopt;
    if (*size < 10 || *size > 100 || *x < 0 || *x > 10000 || *y < 0 || *y > 10000) return std::nullopt;
    const ManualCrop result{*aspect, static_cast<int>(*size), static_cast<int>(*x), static_cast<int>(*y)};
    if (result.isDefault()) return std::nullopt;
    return result;
}

std::map<std::string, double> numberMembers(const Json* value) {
    std::map<std::string, double> numbers;
    if (!object(value)) return numbers;
    for (const auto& [key, element] : value->items())
        if (const auto n = number(&element)) numbers.emplace(key, *n);
    return numbers;
}

int lowestStoredValue(PhotoParameter parameter) {
    if (parameter == PhotoParameter::circular_mask_amount || parameter == PhotoParameter::linear_mask_amount)
        return -100;
    return ParameterCatalog::minimum(parameter);
}

PhotoParameters applied(const std::vector<MaskKind>& kinds, const std::vector<ParameterEntry>& entries) {
    const MaskKindCatalog& catalog = MaskKindCatalog::current();
    PhotoParameters parameters(kinds);
    const auto isAmount = [](PhotoParameter p) {
        return p == PhotoParameter::circular_mask_amount || p == PhotoParameter::linear_mask_amount;
    };
    const auto stores = [&](PhotoParameter p, const ParameterEditTarget& target) {
        return std::any_of(entries.begin(), entries.end(),
                           [&](const ParameterEntry& e) { return e.parameter == p && e.target == target; });
    };
    for (std::size_t i = 0; i < parameters.masks.size(); ++i) {
        const auto* definition = catalog.definition(parameters.masks[i].kind);
        const auto target = ParameterEditTarget::mask(static_cast<int>(i));
        if (definition && !stores(definition->amountParameter, target))
            parameters.setValue(0, definition->amountParameter, target);
    }
    for (const auto& entry : entries)
        if (!isAmount(entry.parameter)) parameters.setValue(entry.value, entry.parameter, entry.target);
    for (const auto& entry : entries) {
        if (!isAmount(entry.parameter)) continue;
        parameters.setValue(std::abs(entry.value), entry.parameter, entry.target);
        const PhotoParameter invert = entry.parameter == PhotoParameter::circular_mask_amount
                                          ? PhotoParameter::circular_mask_invert
                                          : PhotoParameter::linear_mask_invert;
        if (entry.value < 0 && !stores(invert, entry.target)) parameters.setValue(100, invert, entry.target);
    }
    return parameters;
}

} // namespace sorvin::SelectionRecordReading
