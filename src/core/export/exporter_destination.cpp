#include "export/exporter_destination.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/heif_encoder.hpp"

#include <mutex>
#include <set>

#include <fcntl.h>
#include <unistd.h>

namespace sorvin::Exporter {

namespace {

namespace fs = std::filesystem;

bool isDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// Something that is not a directory stands there (a file, a dangling link...).
bool isNonDirectory(const fs::path& path) {
    std::error_code error;
    const auto status = fs::symlink_status(path, error);
    if (status.type() == fs::file_type::not_found || status.type() == fs::file_type::none) return false;
    return !fs::is_directory(path, error);
}

bool isWritable(const fs::path& path) {
    return ::access(path.c_str(), W_OK) == 0;
}

// Where a folder lies against the source folder, by path and by file identity: the source folder
// reached through another path (a bind mount, a share mounted twice) is the source folder too.
FileNode::Placement placementAgainstSource(const fs::path& folder, const fs::path& sourceFolder) {
    const auto resolvedFolder = FilePath::resolved(folder);
    const auto resolvedSource = FilePath::resolved(sourceFolder);
    if (resolvedFolder == resolvedSource) return FileNode::Placement::same;
    if (FilePath::isInside(resolvedFolder, resolvedSource)) return FileNode::Placement::inside;
    return FileNode::placement(folder, sourceFolder);
}

constexpr const char* kProbeName = "folder-check";

// A hidden file made for a check in a folder, and removed again when the check is over. Nothing to
// flush: the file only has to be seen.
class FolderProbe {
public:
    explicit FolderProbe(const fs::path& folder)
        : path_(folder / ExportConflictResolver::temporaryName(kProbeName)) {
        const int made = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        made_ = made >= 0;
        if (made_) ::close(made);
    }
    ~FolderProbe() {
        if (made_) ::unlink(path_.c_str());
    }
    FolderProbe(const FolderProbe&) = delete;
    FolderProbe& operator=(const FolderProbe&) = delete;

    bool made() const { return made_; }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
    bool made_ = false;
};

// The probes that a check killed midway left in a folder go at the first check of the folder in
// this run: later checks find only their own, which they remove.
void removeLeftoverProbesOnce(const fs::path& folder) {
    static std::mutex mutex;
    static std::set<fs::path> cleaned;
    {
        const std::lock_guard lock(mutex);
        if (!cleaned.insert(folder).second) return;
    }
    ExportConflictResolver::removeAbandonedTemporariesOf(folder, kProbeName);
}

// How far below the photo folder a folder lies when a probe made in it shows through the photo
// folder under the folder's last names: 0 when it shows in the photo folder itself.
std::optional<std::size_t> depthBelow(const fs::path& probe, const fs::path& folder,
                                      const fs::path& photoFolder) {
    std::vector<fs::path> names; // the folder's own name first
    for (fs::path level = folder; level.has_relative_path(); level = level.parent_path())
        names.push_back(level.filename());
    fs::path below;
    for (std::size_t depth = 0;; ++depth) {
        if (FileNode::showsIn(probe, photoFolder / below)) return depth;
        if (depth == names.size()) return std::nullopt;
        below = names[depth] / below;
    }
}

} // namespace

std::optional<ExportValidationError> validate(const fs::path& destination, const fs::path& sourceFolder,
                                              const std::vector<Photo>& photos) {
    using Kind = ExportValidationError::Kind;
    if (!isDirectory(destination)) return ExportValidationError{Kind::destinationMissing, {}};
    if (auto refusal = refusalAsSource(destination, sourceFolder)) return refusal;
    if (auto refusal = probeRefusal(destination, photoFolders(photos, sourceFolder), sourceFolder))
        return refusal;
    if (!isWritable(destination)) return ExportValidationError{Kind::destinationNotWritable, {}};
    return std::nullopt;
}

std::optional<ExportValidationError> refusalAsSource(const fs::path& folder, const fs::path& sourceFolder) {
    using Kind = ExportValidationError::Kind;
    switch (placementAgainstSource(folder, sourceFolder)) {
    case FileNode::Placement::same:
        return ExportValidationError{Kind::destinationIsSource, {}};
    case FileNode::Placement::inside:
        return ExportValidationError{Kind::destinationInsideSource, {}};
    case FileNode::Placement::elsewhere:
        break;
    }
    return std::nullopt;
}

std::vector<fs::path> photoFolders(const std::vector<Photo>& photos, const fs::path& sourceFolder) {
    std::vector<fs::path> folders;
    std::set<fs::path> named;    // the photos of one folder resolve its path once
    std::set<fs::path> resolved; // two paths of one folder are asked about once
    const auto add = [&](const fs::path& folder) {
        if (named.insert(folder).second && resolved.insert(FilePath::resolved(folder)).second)
            folders.push_back(folder);
    };
    add(sourceFolder);
    for (const auto& photo : photos)
        for (const auto& file : photo.originalFiles())
            add(file.url.parent_path());
    return folders;
}

std::optional<ExportValidationError> refusalAsPhotoFolder(const fs::path& file, const std::vector<fs::path>& photoFolders,
                                                          const fs::path& sourceFolder) {
    for (const auto& folder : photoFolders) {
        if (!FileNode::showsIn(file, folder)) continue;
        if (auto refusal = refusalAsSource(folder, sourceFolder)) return refusal;
        return ExportValidationError{ExportValidationError::Kind::destinationIsSource, {}};
    }
    return std::nullopt;
}

std::optional<ExportValidationError> probeRefusal(const fs::path& folder,
                                                  const std::vector<fs::path>& photoFolders,
                                                  const fs::path& sourceFolder) {
    using Kind = ExportValidationError::Kind;
    const fs::path resolved = FilePath::resolved(folder);
    std::vector<fs::path> levels; // the folder, then each one above it
    for (fs::path level = resolved;; level = level.parent_path()) {
        levels.push_back(level);
        if (level == level.parent_path()) break;
    }
    std::optional<FolderProbe> madeInFolder; // made once, when a photo folder takes no probe
    for (const auto& photoFolder : photoFolders) {
        removeLeftoverProbesOnce(photoFolder);
        std::optional<std::size_t> depth; // of the folder below the photo folder
        if (const FolderProbe probe(photoFolder); probe.made()) {
            for (std::size_t level = 0; level < levels.size() && !depth; ++level)
                if (FileNode::showsIn(probe.path(), levels[level])) depth = level;
        } else {
            // A photo folder that cannot be written (a card, a share mounted read-only): a probe
            // made in the folder shows in it, or in the subfolder the folder's path ends with.
            if (!madeInFolder) madeInFolder.emplace(resolved);
            if (madeInFolder->made()) depth = depthBelow(madeInFolder->path(), resolved, photoFolder);
        }
        if (!depth) continue;
        if (*depth > 0) return ExportValidationError{Kind::destinationInsideSource, {}};
        if (auto refusal = refusalAsSource(photoFolder, sourceFolder)) return refusal;
        return ExportValidationError{Kind::destinationIsSource, {}};
    }
    return std::nullopt;
}

std::optional<ExportValidationError> validateOriginalsDestination(const fs::path& destination,
                                                                  bool saveOriginals) {
    if (saveOriginals && isNonDirectory(destination / kOriginalsFolderName))
        return ExportValidationError{ExportValidationError::Kind::originalsIsFile, {}};
    return std::nullopt;
}

std::optional<ExportValidationError> validateFormatDestinations(const fs::path& destination,
                                                                const std::vector<Photo>& photos,
                                                                const ExportFormatOptions& options) {
    if (!options.usesFormatFolders()) return std::nullopt;
    for (const auto format : options.requiredFormats(photos)) {
        const std::string name(traitsOf(format).folderName);
        if (isNonDirectory(destination / name))
            return ExportValidationError{ExportValidationError::Kind::formatFolderIsFile, name};
    }
    return std::nullopt;
}

std::error_code createDirectoryIfNeeded(const fs::path& folder) {
    std::error_code error;
    const auto status = fs::symlink_status(folder, error);
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::none) {
        if (isDirectory(folder)) return {};
        return ExportErrc::fileWriteFileExists;
    }
    error.clear();
    fs::create_directory(folder, error);
    return error;
}

bool supportsOutput(ExportImageFormat format) {
    switch (format) {
    case ExportImageFormat::jpeg:
        return true;
    case ExportImageFormat::heif:
        return HeifEncoder::isAvailable();
    }
    return false;
}

std::optional<SingleExportValidationError> validateSingleExportDestination(const fs::path& file,
                                                                           const fs::path& sourceFolder,
                                                                           const std::vector<Photo>& photos) {
    const auto folder = FilePath::standardized(file).parent_path();
    if (placementAgainstSource(folder, sourceFolder) != FileNode::Placement::elsewhere ||
        probeRefusal(folder, photoFolders(photos, sourceFolder), sourceFolder))
        return SingleExportValidationError::destinationInsideSource;
    if (!isDirectory(folder)) return SingleExportValidationError::destinationMissing;
    if (!isWritable(folder)) return SingleExportValidationError::destinationNotWritable;
    return std::nullopt;
}

} // namespace sorvin::Exporter
