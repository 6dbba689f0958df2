#pragma once

#include "model/mask_kind_definition.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// The fixed table of mask kinds. Everything that looks a kind up goes through it instead of
// switching on the kind; lookups take the first matching row.
struct MaskKindCatalog {
    std::vector<MaskKindDefinition> definitions;

    // The program's table (circular, then linear), built once and never changed.
    static const MaskKindCatalog& current();

    const MaskKindDefinition* definition(const MaskKind& kind) const;
    const MaskKindDefinition* definitionForStorageName(std::string_view storageName) const;
    const MaskKindDefinition* definitionForStorageSymbol(char symbol) const;

    // The stored kind names of one parameter set as kinds: none when there are more than four or
    // when any name is not a kind of this catalogue.
    std::optional<std::vector<MaskKind>> kinds(const std::vector<std::string>& names) const;
};

} // namespace sorvin
