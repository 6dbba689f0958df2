#pragma once

#include "model/export_conflict_mode.hpp"
#include "model/photo.hpp"

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sorvin {

// Where one exported file is written.
struct ExportWriteTarget {
    std::filesystem::path finalURL;
    std::filesystem::path temporaryURL; // finalURL unless an existing file is to be replaced
    bool replacesExisting = false;      // write temporaryURL, then rename it over finalURL
    bool isRenamed = false;             // finalURL's name differs from the one asked for

    bool operator==(const ExportWriteTarget&) const = default;
};

// Chooses the name of each exported file, so that an export never overwrites a photo's own files
// (or any other protected file), whatever the destination.
struct ExportConflictResolver {
    // Standardized paths with symbolic links resolved.
    using ProtectedPaths = std::set<std::string>;

    // Overwrite mode replaces an existing file that is neither a folder nor protected; every other
    // case takes the first free numbered name. None when no name up to number 999 is free. A file
    // about to be replaced first loses the temporary files that ended exports left beside it.
    static std::optional<ExportWriteTarget> target(const std::string& name,
                                                   const std::filesystem::path& folder,
                                                   ExportConflictMode mode,
                                                   const ProtectedPaths& protectedPaths);

    // Every file of every photo (main file, then RAW companion), then the additional files.
    static ProtectedPaths protectedSourcePaths(const std::vector<Photo>& photos,
                                               const std::vector<std::filesystem::path>& additionalURLs);

    // Removes the temporary file of a target that replaces an existing file; silent. A target
    // written under its final name has nothing to discard: the output routines remove what they
    // created themselves, and the name may meanwhile be somebody else's file.
    static void discardTemporaryItem(const ExportWriteTarget& target);

    // ".<name>.sorvin-tmp-<process id>-<UUID>": a hidden file beside the one it will replace.
    static std::string temporaryName(const std::string& name);
};

} // namespace sorvin
