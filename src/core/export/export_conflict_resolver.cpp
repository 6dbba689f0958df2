#include "export/export_conflict_resolver.hpp"

#include "model/file_name_resolver.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_path.hpp"
#include "platform/uuid_text.hpp"

#include <cerrno>
#include <sys/stat.h>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemporaryMarker = ".sorvin-tmp-";

// The system's error when whether anything is at the path cannot be told; none when it can.
std::error_code failureToCheck(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 || errno == ENOENT) return {};
    return {errno, std::generic_category()};
}

// What every temporary of the name starts with.
std::string temporaryPrefix(const std::string& name) {
    return "." + name + std::string(kTemporaryMarker);
}

} // namespace

std::string ExportConflictResolver::temporaryName(const std::string& name) {
    return temporaryPrefix(name) + AtomicFile::writerTag() + "-" + UuidText::random();
}

bool ExportConflictResolver::ProtectedPaths::contains(const fs::path& file) const {
    if (paths.contains(FilePath::resolved(file).string())) return true;
    const auto node = FileNode::of(file);
    return node && nodes.contains(*node);
}

void ExportConflictResolver::removeAbandonedOutputTemporaries(const fs::path& folder) {
    AtomicFile::removeAbandonedHidden(folder, kTemporaryMarker);
}

void ExportConflictResolver::removeAbandonedTemporariesOf(const fs::path& folder, const std::string& name) {
    AtomicFile::removeAbandonedWithPrefixes(folder, {temporaryPrefix(name)});
}

std::optional<ExportWriteTarget>
ExportConflictResolver::target(const std::string& name, const fs::path& folder, ExportConflictMode mode,
                               const ProtectedPaths& protectedPaths, std::error_code* failedCheck) {
    const fs::path candidate = folder / name;
    // Neither free nor taken: the check itself failed.
    const auto checkFailed = [&] {
        const std::error_code error = failureToCheck(candidate);
        if (error && failedCheck) *failedCheck = error;
        return static_cast<bool>(error);
    };
    if (checkFailed()) return std::nullopt;
    if (mode == ExportConflictMode::overwrite) {
        std::error_code error;
        const auto status = fs::symlink_status(candidate, error);
        if (status.type() == fs::file_type::not_found) return ExportWriteTarget{candidate, false, false};
        const bool isDirectory = fs::is_directory(candidate, error);
        if (status.type() != fs::file_type::none && !isDirectory && !protectedPaths.contains(candidate))
            return ExportWriteTarget{candidate, true, false};
    }
    const auto url = FileNameResolver::availableURL(name, folder);
    if (!url) {
        checkFailed(); // the folder may have gone while the numbered names were looked at
        return std::nullopt;
    }
    return ExportWriteTarget{*url, false, url->filename().string() != name};
}

ExportConflictResolver::ProtectedPaths
ExportConflictResolver::protectedSourcePaths(const std::vector<Photo>& photos,
                                             const std::vector<fs::path>& additionalURLs) {
    ProtectedPaths protectedPaths;
    const auto add = [&](const fs::path& file) {
        protectedPaths.paths.insert(FilePath::resolved(file).string());
        if (const auto node = FileNode::of(file)) protectedPaths.nodes.insert(*node);
    };
    for (const auto& photo : photos)
        for (const auto& file : photo.originalFiles())
            add(file.url);
    for (const auto& url : additionalURLs)
        add(url);
    return protectedPaths;
}

} // namespace sorvin
