#include "export/export_conflict_resolver.hpp"

#include "model/file_name_resolver.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_path.hpp"
#include "platform/uuid_text.hpp"

#include <unistd.h>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

std::string temporaryPrefix(const std::string& name) {
    return "." + name + ".sorvin-tmp-";
}

} // namespace

std::string ExportConflictResolver::temporaryName(const std::string& name) {
    return temporaryPrefix(name) + std::to_string(::getpid()) + "-" + UuidText::random();
}

std::optional<ExportWriteTarget> ExportConflictResolver::target(const std::string& name,
                                                                const fs::path& folder,
                                                                ExportConflictMode mode,
                                                                const ProtectedPaths& protectedPaths) {
    const fs::path candidate = folder / name;
    if (mode == ExportConflictMode::overwrite) {
        std::error_code error;
        const auto status = fs::symlink_status(candidate, error);
        if (status.type() == fs::file_type::not_found)
            return ExportWriteTarget{candidate, candidate, false, false};
        const bool isDirectory = fs::is_directory(candidate, error);
        if (status.type() != fs::file_type::none && !isDirectory &&
            !protectedPaths.contains(FilePath::resolved(candidate).string())) {
            // An export killed while replacing this file left its temporary file behind.
            AtomicFile::removeStaleTemporaries(folder, {temporaryPrefix(name)});
            return ExportWriteTarget{candidate, folder / temporaryName(name), true, false};
        }
    }
    const auto url = FileNameResolver::availableURL(name, folder);
    if (!url) return std::nullopt;
    return ExportWriteTarget{*url, *url, false, url->filename().string() != name};
}

ExportConflictResolver::ProtectedPaths
ExportConflictResolver::protectedSourcePaths(const std::vector<Photo>& photos,
                                             const std::vector<fs::path>& additionalURLs) {
    ProtectedPaths paths;
    for (const auto& photo : photos)
        for (const auto& file : photo.originalFiles())
            paths.insert(FilePath::resolved(file.url).string());
    for (const auto& url : additionalURLs)
        paths.insert(FilePath::resolved(url).string());
    return paths;
}

void ExportConflictResolver::discardTemporaryItem(const ExportWriteTarget& target) {
    if (!target.replacesExisting) return;
    std::error_code ignored;
    fs::remove(target.temporaryURL, ignored);
}

} // namespace sorvin
