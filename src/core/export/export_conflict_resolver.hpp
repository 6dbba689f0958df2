#pragma once

#include "export/export_written_names.hpp"
#include "model/export_conflict_mode.hpp"
#include "model/photo.hpp"
#include "platform/file_node.hpp"

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace sorvin {

// Where one exported file is published once it is written whole.
struct ExportWriteTarget {
    std::filesystem::path finalURL;
    bool replacesExisting = false; // a file is there: the new one is renamed over it
    bool isRenamed = false;        // finalURL's name differs from the one asked for

    bool operator==(const ExportWriteTarget&) const = default;
};

// Chooses the name of each exported file, so that an export never overwrites a photo's own files
// (or any other protected file), whatever the destination.
struct ExportConflictResolver {
    // The files an export never replaces, by their file identities, so that a protected file
    // reached by another path (a symbolic or hard link, a bind mount, a share mounted twice) is
    // recognised too; one whose identity cannot be read, by its standardized path with symbolic
    // links resolved. They are looked at only once a file is about to be replaced, each once: an
    // export that replaces nothing asks the photo folder nothing for them.
    // The names the running export has given files join them, so that two photos whose outputs
    // meet in one name are both kept.
    struct ProtectedPaths {
        std::vector<std::filesystem::path> files;
        ExportWrittenNames written;

        // Whether the file at the path is one of them (nothing there is none).
        bool contains(const std::filesystem::path& file) const;
        bool operator==(const ProtectedPaths& other) const {
            return files == other.files && written == other.written;
        }

    private:
        struct Identities {
            std::set<FileNode> nodes;
            std::set<std::string> paths;
        };
        const Identities& identities() const;
        mutable std::optional<Identities> identities_;
    };

    // Who asks for a name: a photo (its manifest key without "#B"; empty for a file of no photo),
    // and the name its file of this kind got in the folder from an earlier export, if any.
    struct NameClaim {
        std::string photo;
        std::optional<std::string> earlierName;
    };

    // Overwrite mode writes over the photo's own earlier file when that has the name or one of its
    // numbered names, else over an existing file under the name; never over a folder, a protected
    // file, or a name another photo's file holds (ExportWrittenNames::isTakenFrom). Every other
    // case takes the first free numbered name (a name this export gave a file, or that holds
    // another photo's file, is not free). None when no name up to number 999 is free, or when the
    // name cannot be checked (a lost mount, no access): then failedCheck, when given, gets the
    // system's error, so that the failure is told as what it is and not as a name taken. Asked
    // just before each file is published, so the test of a file about to be replaced is fresh.
    static std::optional<ExportWriteTarget>
    target(const std::string& name, const std::filesystem::path& folder, ExportConflictMode mode,
           const ProtectedPaths& protectedPaths, const NameClaim& claim = {},
           std::error_code* failedCheck = nullptr);

    // Every file of every photo (main file, then RAW companion), then the additional files.
    static ProtectedPaths protectedSourcePaths(const std::vector<Photo>& photos,
                                               const std::vector<std::filesystem::path>& additionalURLs);

    // ".<name>.sorvin-tmp-<writer>-<UUID>" (AtomicFile::writerTag): the hidden file an output is
    // written to beside its final name before it is published. A name too long to leave room for
    // the rest within the 255 bytes a disk takes is cut short in it.
    static std::string temporaryName(const std::string& name);

    // Removes from the folder the hidden temporaries of any export that are abandoned: this
    // machine's of exports that have ended, another computer's only when a day old
    // (AtomicFile::removeAbandonedHidden). A running export's are never touched. Silent.
    static void removeAbandonedOutputTemporaries(const std::filesystem::path& folder);
    // The same for the temporaries of one name only (temporaryName(name)).
    static void removeAbandonedTemporariesOf(const std::filesystem::path& folder, const std::string& name);
};

} // namespace sorvin
