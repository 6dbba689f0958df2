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

// The longest file name the disks take (bytes on Linux's own file systems, UTF-16 units, never
// more than bytes, on FAT, exFAT and NTFS).
constexpr std::size_t kMaximumNameBytes = 255;
// What a temporary's name adds to the name it stands for: the dot, the marker, the longest writer
// ("<process id of up to 10 digits>@<12 digits>"), "-" and a UUID.
constexpr std::size_t kTemporaryNameOverhead = 1 + kTemporaryMarker.size() + 23 + 1 + 36;

// The name as a temporary carries it: cut short, at a character's start, where the whole would
// make the temporary's name longer than a disk takes. The marker and the writer tell a leftover,
// not the name, and the cut depends on the name alone, so every writer cuts a name alike.
std::string_view namePart(std::string_view name) {
    constexpr std::size_t kLongest = kMaximumNameBytes - kTemporaryNameOverhead;
    if (name.size() <= kLongest) return name;
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
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
                               const ProtectedPaths& protectedPaths, std::error_code* failedCheck) {
    const fs::path candidate = folder / name;
    // Neither free nor taken: the check itself failed.
    const auto checkFailed = [&] {
        const std::error_code error = failureToCheck(candidate);
        if (error && failedCheck) *failedCheck = error;
        return static_cast<bool>(error);
    };
    if (checkFailed()) return std::nullopt;
    if (mode == ExportConflictMode::overwrite && !protectedPaths.written.contains(candidate)) {
        std::error_code error;
        const auto status = fs::symlink_status(candidate, error);
        if (status.type() == fs::file_type::not_found) return ExportWriteTarget{candidate, false, false};
        const bool isDirectory = fs::is_directory(candidate, error);
        if (status.type() != fs::file_type::none && !isDirectory && !protectedPaths.contains(candidate))
            return ExportWriteTarget{candidate, true, false};
    }
    const auto url = FileNameResolver::availableURL(
        name, folder, [&](const fs::path& file) { return protectedPaths.written.contains(file); });
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
