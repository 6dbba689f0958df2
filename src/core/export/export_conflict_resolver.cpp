#include "export/export_conflict_resolver.hpp"

#include "model/file_name_resolver.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_path.hpp"
#include "platform/uuid_text.hpp"

namespace sorvin {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemporaryMarker = ".sorvin-tmp-";

} // namespace

bool ExportConflictResolver::ProtectedPaths::contains(const fs::path& file) const {
    if (paths.contains(FilePath::resolved(file).string())) return true;
    const auto node = FileNode::of(file);
    return node && nodes.contains(*node);
}

std::string ExportConflictResolver::temporaryName(const std::string& name) {
    return "." + name + std::string(kTemporaryMarker) + AtomicFile::writerTag() + "-" + UuidText::random();
}

void ExportConflictResolver::removeAbandonedOutputTemporaries(const fs::path& folder) {
    AtomicFile::removeAbandonedHidden(folder, kTemporaryMarker);
}

std::optional<ExportWriteTarget> ExportConflictResolver::target(const std::string& name,
                                                                const fs::path& folder,
                                                                ExportConflictMode mode,
                                                                const ProtectedPaths& protectedPaths) {
    const fs::path candidate = folder / name;
    if (mode == ExportConflictMode::overwrite) {
        std::error_code error;
        const auto status = fs::symlink_status(candidate, error);
        if (status.type() == fs::file_type::not_found) return ExportWriteTarget{candidate, false, false};
        const bool isDirectory = fs::is_directory(candidate, error);
        if (status.type() != fs::file_type::none && !isDirectory && !protectedPaths.contains(candidate))
            return ExportWriteTarget{candidate, true, false};
    }
    const auto url = FileNameResolver::availableURL(name, folder);
    if (!url) return std::nullopt;
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
