#include "export/exporter_destination.hpp"

#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/heif_encoder.hpp"

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
    std::vector<fs::path> levels; // the folder, then each one above it
    for (fs::path level = FilePath::resolved(folder);; level = level.parent_path()) {
        levels.push_back(level);
        if (level == level.parent_path()) break;
    }
    for (const auto& photoFolder : photoFolders) {
        const fs::path probe = photoFolder / ExportConflictResolver::temporaryName("folder-check");
        // Nothing to flush: the file only has to be seen, and the sheet asks this on the main thread.
        const int made = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (made < 0) continue;
        ::close(made);
        std::optional<ExportValidationError> refusal;
        for (std::size_t level = 0; level < levels.size() && !refusal; ++level) {
            if (!FileNode::showsIn(probe, levels[level])) continue;
            if (level > 0)
                refusal = ExportValidationError{Kind::destinationInsideSource, {}};
            else if (!(refusal = refusalAsSource(photoFolder, sourceFolder)))
                refusal = ExportValidationError{Kind::destinationIsSource, {}};
        }
        std::error_code ignored;
        fs::remove(probe, ignored);
        if (refusal) return refusal;
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
    if (placementAgainstSource(folder, sourceFolder) != FileNode::Placement::elsewhere ||
        probeRefusal(folder, {sourceFolder}, sourceFolder))
        return SingleExportValidationError::destinationInsideSource;
    if (!isDirectory(folder)) return SingleExportValidationError::destinationMissing;
    if (!isWritable(folder)) return SingleExportValidationError::destinationNotWritable;
    return std::nullopt;
}

} // namespace sorvin::Exporter
