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

// What a temporary's name adds to the name it stands for: the dot, the marker, the longest writer
// ("<process id of up to 10 digits>@<12 digits>"), "-" and a UUID.
constexpr std::size_t kTemporaryNameOverhead = 1 + kTemporaryMarker.size() + 23 + 1 + 36;

// The name as a temporary carries it: cut short, at a character's start, where the whole would
// make the temporary's name longer than a disk takes. The marker and the writer tell a leftover,
// not the name, and the cut depends on the name alone, so every writer cuts a name alike.
std::string_view namePart(std::string_view name) {
    return FileNameResolver::prefixWithin(name, FileNameResolver::kMaximumNameBytes - kTemporaryNameOverhead);
}

// What every temporary of the name starts with.
std::string temporaryPrefix(const std::string& name) {
    return "." + std::string(namePart(name)) + std::string(kTemporaryMarker);
}

} // namespace

std::string ExportConflictResolver::temporaryName(const std::string& name) {
    return temporaryPrefix(name) + AtomicFile::writerTag() + "-" + UuidText::random();
}

bool ExportConflictResolver::ProtectedPaths::contains(const fs::path& file) const {
    if (written.contains(file) || paths.contains(FilePath::resolved(file).string())) return true;
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
                               const ProtectedPaths& protectedPaths, const NameClaim& claim,
                               std::error_code* failedCheck) {
    const fs::path candidate = folder / name;
    // Neither free nor taken: the check itself failed.
    const auto checkFailed = [&] {
        const std::error_code error = failureToCheck(candidate);
        if (error && failedCheck) *failedCheck = error;
        return static_cast<bool>(error);
    };
    if (checkFailed()) return std::nullopt;
    const auto isTaken = [&](const fs::path& file) {
        return protectedPaths.written.isTakenFrom(file, claim.photo);
    };
    if (mode == ExportConflictMode::overwrite) {
        // Written over: a file under the name, unless it is a folder, protected or another photo's.
        const auto over = [&](const fs::path& file) -> std::optional<ExportWriteTarget> {
            if (isTaken(file)) return std::nullopt;
            const bool isRenamed = file.filename().string() != name;
            std::error_code error;
            const auto status = fs::symlink_status(file, error);
            if (status.type() == fs::file_type::not_found) return ExportWriteTarget{file, false, isRenamed};
            if (status.type() != fs::file_type::none && !fs::is_directory(file, error) &&
                !protectedPaths.contains(file))
                return ExportWriteTarget{file, true, isRenamed};
            return std::nullopt;
        };
        // The photo's own earlier file keeps its name, numbered or not, so that an output never
        // leaves its earlier self behind.
        if (claim.earlierName && FileNameResolver::variantNumber(*claim.earlierName, name))
            if (auto own = over(folder / *claim.earlierName)) return own;
        if (auto replaced = over(candidate)) return replaced;
    }
    const auto url = FileNameResolver::availableURL(name, folder, isTaken);
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
