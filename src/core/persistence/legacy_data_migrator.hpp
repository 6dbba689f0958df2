#pragma once

#include "persistence/preference_key.hpp"
#include "platform/defaults_store.hpp"

#include <filesystem>
#include <memory>
#include <optional>

namespace sorvin::LegacyDataMigrator {

// Our support folder and the predecessor's, both directly inside the user's data folder.
inline constexpr const char* supportFolderName = "Sorvin";
inline constexpr const char* legacySupportFolderName = "Tolvanite";
// The predecessor's preferences domain, and the prefixes of its keys and of ours.
inline constexpr const char* legacyDomain = "Tolvanite";
inline constexpr std::string_view legacyKeyPrefix = "tolvanite.";
inline constexpr std::string_view keyPrefix = "sorvin.";
// Present (whatever its value) once the preferences were migrated.
inline constexpr std::string_view migratedFlagKey = PreferenceKey::migratedFromTolvanite;

// Copies the predecessor's support folder to ours while we have none. `base` replaces the user's
// data folder. Returns whether it copied. The copy is made in a hidden sibling folder and moved into
// place only when complete, so a failed copy leaves no half folder that would stop the next start
// from trying again. Throws std::filesystem::filesystem_error when the copy fails.
bool copyApplicationSupportIfNeeded(const std::optional<std::filesystem::path>& base = std::nullopt);

// Fills every preference we lack from the predecessor's "tolvanite." keys, once: the flag above is
// stored even when there was nothing to take, and its presence alone stops later runs. `legacy` may
// be none (no predecessor domain). Waits for a later start while either file cannot be read.
void migrateUserDefaultsIfNeeded(DefaultsStore& current, const DefaultsStore* legacy);

// The predecessor's preferences, opened read-only (nothing of the predecessor is ever changed), or
// none when it left no preferences file.
std::unique_ptr<DefaultsStore> openLegacyDefaults();

} // namespace sorvin::LegacyDataMigrator
