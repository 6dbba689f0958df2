// The stored key/value form of a parameter set: the one place where keys are spelled and read.
#include "model/photo_parameters.hpp"

#include <fmt/format.h>
#include <cstdint>
#include <limits>

namespace sorvin {

namespace {

// A mask position written as ASCII digits only (leading zeros allowed); none for anything else or
// a number beyond 64 bits.
std::optional<std::uint64_t> parsePosition(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

std::vector<PhotoParameters::StorageEntry>
PhotoParameters::storageEntries(bool allowsRawDevelopment, const MaskKindCatalog& catalog) const {
    std::vector<StorageEntry> entries;
    for (PhotoParameter p : ParameterCatalog::allCases()) {
        if (ParameterCatalog::isMaskShapeParameter(p)) continue;
        if (!allowsRawDevelopment && ParameterCatalog::isRawDevelopmentParameter(p)) continue;
        if (values.isDefault(p)) continue;
        entries.push_back(
            {std::string(ParameterCatalog::storedName(p)), p, ParameterEditTarget::global(), values[p]});
    }
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const PhotoMask& mask = masks[i];
        const auto* definition = catalog.definition(mask.kind);
        if (!definition) continue;
        const std::string prefix = fmt::format("{}{}.", definition->storageSymbol, i);
        const auto target = ParameterEditTarget::mask(static_cast<int>(i));
        auto write = [&](PhotoParameter p) {
            const int value = mask.value(p, catalog);
            // The amount is always written, so a mask's kind and position survive in its keys alone.
            if (p != definition->amountParameter && value == ParameterCatalog::defaultValue(p)) return;
            entries.push_back({prefix + std::string(ParameterCatalog::storedName(p)), p, target, value});
        };
        for (PhotoParameter p : ParameterCatalog::adjustmentParameters())
            write(p);
        for (PhotoParameter p : definition->shapeParameters)
            write(p);
    }
    return entries;
}

std::optional<PhotoParameters::StorageKeyTarget>
PhotoParameters::storageKey(std::string_view key, const std::vector<MaskKind>& maskKinds,
                            const MaskKindCatalog& catalog, bool allowsRawDevelopment) {
    const auto dot = key.find('.');
    if (dot == std::string_view::npos) {
        const auto p = ParameterCatalog::fromStoredName(key);
        if (!p || ParameterCatalog::isMaskShapeParameter(*p)) return std::nullopt;
        if (!allowsRawDevelopment && ParameterCatalog::isRawDevelopmentParameter(*p)) return std::nullopt;
        return StorageKeyTarget{*p, ParameterEditTarget::global()};
    }

    const std::string_view prefix = key.substr(0, dot);
    const std::string_view name = key.substr(dot + 1);
    if (prefix.empty()) return std::nullopt;
    const auto* definition = catalog.definitionForStorageSymbol(prefix.front());
    if (!definition) return std::nullopt;
    const auto position = parsePosition(prefix.substr(1));
    if (!position || *position >= maskKinds.size() || maskKinds[*position] != definition->kind)
        return std::nullopt;

    if (name.empty()) return std::nullopt;
    const auto p = ParameterCatalog::fromStoredName(name);
    if (!p || ParameterCatalog::isRawDevelopmentParameter(*p) || ParameterCatalog::isGeometryParameter(*p)) {
        return std::nullopt;
    }
    if (!ParameterCatalog::isAdjustmentParameter(*p) && !definition->hasShapeParameter(*p))
        return std::nullopt;
    return StorageKeyTarget{*p, ParameterEditTarget::mask(static_cast<int>(*position))};
}

std::optional<PhotoParameters::StorageKeyTarget>
PhotoParameters::legacyStorageKey(std::string_view key, const std::vector<MaskKind>& maskKinds,
                                  bool allowsRawDevelopment, const MaskKindCatalog& catalog) {
    if (key.find('.') == std::string_view::npos) {
        const auto p = ParameterCatalog::fromStoredName(key);
        if (!p) return std::nullopt;
        if (!allowsRawDevelopment && ParameterCatalog::isRawDevelopmentParameter(*p)) return std::nullopt;
        if (!ParameterCatalog::isMaskShapeParameter(*p))
            return StorageKeyTarget{*p, ParameterEditTarget::global()};
        // A bare shape name belongs to the first mask whose kind has that shape parameter.
        for (std::size_t i = 0; i < maskKinds.size(); ++i) {
            const auto* definition = catalog.definition(maskKinds[i]);
            if (definition && definition->hasShapeParameter(*p)) {
                return StorageKeyTarget{*p, ParameterEditTarget::mask(static_cast<int>(i))};
            }
        }
        return std::nullopt;
    }

    // "C.exposure": the first mask of the symbol's kind.
    const MaskKindDefinition* definition = nullptr;
    for (const auto& candidate : catalog.definitions) {
        if (key.size() >= 2 && key[0] == candidate.storageSymbol && key[1] == '.') {
            definition = &candidate;
            break;
        }
    }
    if (!definition) return std::nullopt;
    std::optional<int> position;
    for (std::size_t i = 0; i < maskKinds.size(); ++i) {
        if (maskKinds[i] == definition->kind) {
            position = static_cast<int>(i);
            break;
        }
    }
    if (!position) return std::nullopt;
    const std::string_view name = key.substr(2);
    if (name.empty()) return std::nullopt;
    const auto p = ParameterCatalog::fromStoredName(name);
    if (!p || ParameterCatalog::isGeometryParameter(*p)) return std::nullopt;
    if (!ParameterCatalog::isAdjustmentParameter(*p)) return std::nullopt;
    return StorageKeyTarget{*p, ParameterEditTarget::mask(*position)};
}

} // namespace sorvin
