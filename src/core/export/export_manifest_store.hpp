#pragma once

#include "export/export_manifest.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_parameters.hpp"
#include "model/photo_source.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// Reading, writing and checking the export manifests. A manifest is only ever a hint: whatever is
// wrong with one (missing, damaged, foreign) makes the next export do more work, never less, and
// nothing here reports an error.
struct ExportManifestStore {
    // $XDG_DATA_HOME/Sorvin (not created here).
    static std::filesystem::path defaultApplicationSupportRoot();
    // root/"export-" + 16 hexadecimal digits of the destination's hash + ".json".
    static std::filesystem::path manifestURL(const std::filesystem::path& destination,
                                             const std::filesystem::path& applicationSupportRoot);

    // A path as a manifest names it (the destination, a photo's file): standardized, with each
    // byte that is no part of well-formed UTF-8 written "%XX" (hexadecimal), as JSON can hold no
    // such byte. The manifest's own name, from a hash of the path's bytes, keeps such
    // destinations apart.
    static std::string pathText(const std::filesystem::path& path);

    // root/"export-" + the same digits + ".journal": the entries an export gave files under their
    // names since the manifest was last written, one line each (ExportManifestJournal).
    static std::filesystem::path journalURL(const std::filesystem::path& destination,
                                            const std::filesystem::path& applicationSupportRoot);

    // The manifest of a destination with the lines of its journal applied in order; an empty one
    // for anything that cannot be trusted. Entries and lines that fail validation are dropped one
    // by one (so is the torn last line of a killed export).
    static ExportManifest load(const std::filesystem::path& destination,
                               const std::filesystem::path& applicationSupportRoot);
    // Replaces the manifest atomically; a failure leaves the old one. True when it was written.
    static bool write(const ExportManifest& manifest, const std::filesystem::path& destination,
                      const std::filesystem::path& applicationSupportRoot);
    // The compact JSON with sorted keys: equal manifests give equal bytes.
    static std::string encoded(const ExportManifest& manifest);
    // One line of the journal, with its line break: the entry of a key in the manifest of a folder.
    static std::string journalLine(const std::string& folder, const std::string& key,
                                   const ExportManifestEntry& entry);

    // Size and modification time of a regular file (a link is not followed); none otherwise.
    static std::optional<FileIdentity> fileIdentity(const std::filesystem::path& url);
    // The path of url below root, when it is a valid relative path.
    static std::optional<std::string> relativePath(const std::filesystem::path& url,
                                                   const std::filesystem::path& root);
    // The recorded file is still there below the destination, with the recorded size and time.
    static bool recordMatches(const ExportManifestFileRecord& record,
                              const std::filesystem::path& destination);
    // Not empty, not absolute, no empty, "." or ".." component.
    static bool validRelativePath(std::string_view path);

    // The canonical text of every setting that shapes an item's pixels, and its SHA-256.
    static std::string parameterHashInput(PhotoSource source, double rotation, const ManualCrop& crop,
                                          const PhotoParameters& parameters, bool burnInOrientation,
                                          std::optional<int> maximumLongEdge);
    static std::string parameterHash(PhotoSource source, double rotation, const ManualCrop& crop,
                                     const PhotoParameters& parameters, bool burnInOrientation,
                                     std::optional<int> maximumLongEdge);
};

} // namespace sorvin
