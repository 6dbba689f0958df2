#include "export/exporter_destination.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/folder_tree.hpp"
#include "platform/heif_encoder.hpp"
#include "platform/mount_table.hpp"

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

// Where a folder lies against the source folder through mounts of their own, which neither paths
// nor nodes tell. The mount table answers for mounts of one file system (a bind mount of a
// subfolder, a disk mounted twice). Where a mount may show any folder's files (FUSE, a network
// share, an overlay), a file made in the folder is looked for in every folder of the source
// folder's tree, which the folder then is; the tree is walked afresh, so that a subfolder made
// after the scan or left out of it (empty, hidden, not read) counts too.
FileNode::Placement placementThroughMounts(const fs::path& folder, const fs::path& sourceFolder) {
    if (const auto placement = MountTable::read().placement(folder, sourceFolder)) return *placement;
    removeLeftoverProbesOnce(FilePath::resolved(folder));
    const FolderProbe probe(folder);
    const auto node = FileNode::of(folder);
    const auto shown = FolderTree::find(sourceFolder, [&](const fs::path& inTree, const FileNode& treeNode) {
        return treeNode == node || (probe.made() && FileNode::showsIn(probe.path(), inTree));
    });
    if (!shown) return FileNode::Placement::elsewhere;
    return *shown == sourceFolder ? FileNode::Placement::same : FileNode::Placement::inside;
}

// The refusal of a folder by where it lies against the source folder.
std::optional<ExportValidationError> refusalOf(FileNode::Placement placement) {
    using Kind = ExportValidationError::Kind;
    switch (placement) {
    case FileNode::Placement::same:
        return ExportValidationError{Kind::destinationIsSource, {}};
    case FileNode::Placement::inside:
        return ExportValidationError{Kind::destinationInsideSource, {}};
    case FileNode::Placement::elsewhere:
        break;
    }
    return std::nullopt;
}

} // namespace

std::optional<ExportValidationError> validate(const fs::path& destination, const fs::path& sourceFolder) {
    using Kind = ExportValidationError::Kind;
    if (!isDirectory(destination)) return ExportValidationError{Kind::destinationMissing, {}};
    if (auto refusal = refusalInsideSource(destination, sourceFolder)) return refusal;
    if (!isWritable(destination)) return ExportValidationError{Kind::destinationNotWritable, {}};
    return std::nullopt;
}

std::optional<ExportValidationError> refusalAsSource(const fs::path& folder, const fs::path& sourceFolder) {
    return refusalOf(placementAgainstSource(folder, sourceFolder));
}

std::optional<ExportValidationError> refusalInsideSource(const fs::path& folder, const fs::path& sourceFolder) {
    if (auto refusal = refusalAsSource(folder, sourceFolder)) return refusal;
    return refusalOf(placementThroughMounts(folder, sourceFolder));
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
                                                                           const fs::path& sourceFolder) {
    const auto folder = FilePath::standardized(file).parent_path();
    // A missing folder is asked by its path alone: nothing can be made in it.
    if (placementAgainstSource(folder, sourceFolder) != FileNode::Placement::elsewhere ||
        (isDirectory(folder) && placementThroughMounts(folder, sourceFolder) != FileNode::Placement::elsewhere))
        return SingleExportValidationError::destinationInsideSource;
    if (!isDirectory(folder)) return SingleExportValidationError::destinationMissing;
    if (!isWritable(folder)) return SingleExportValidationError::destinationNotWritable;
    return std::nullopt;
}

} // namespace sorvin::Exporter
