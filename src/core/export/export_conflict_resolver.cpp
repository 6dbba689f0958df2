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

// Whether anything is at the path, or the system's error when that cannot be told.
struct Presence {
    bool present = false;
    std::error_code failure;
};

Presence presenceAt(const fs::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) return {true, {}};
    if (errno == ENOENT) return {false, {}};
    return {false, {errno, std::generic_category()}};
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
    if (written.contains(file)) return true;
    std::error_code unreachable;
    const auto node = FileNode::of(file, unreachable);
    if (!node && (unreachable == std::errc::no_such_file_or_directory || unreachable == std::errc::not_a_directory))
        return false;
    const Identities& known = identities();
    if (node && known.nodes.contains(*node)) return true;
    return !known.paths.empty() && known.paths.contains(FilePath::resolved(file).string());
}

const ExportConflictResolver::ProtectedPaths::Identities& ExportConflictResolver::ProtectedPaths::identities() const {
    if (identities_) return *identities_;
    Identities& known = identities_.emplace();
    for (const auto& file : files) {
        if (const auto node = FileNode::of(file))
            known.nodes.insert(*node);
        else
            known.paths.insert(FilePath::resolved(file).string());
    }
    return known;
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
    const auto checkFailed = [&](const Presence& presence) {
        if (presence.failure && failedCheck) *failedCheck = presence.failure;
        return static_cast<bool>(presence.failure);
    };
    const Presence atName = presenceAt(candidate);
    if (checkFailed(atName)) return std::nullopt;
    const auto isTaken = [&](const fs::path& file) {
        return protectedPaths.written.isTakenFrom(file, claim.photo);
    };
    // Written over: a file under the name, unless it is a folder, protected or another photo's.
    const auto over = [&](const fs::path& file) -> std::optional<ExportWriteTarget> {
        if (isTaken(file)) return std::nullopt;
        const bool isRenamed = file.filename().string() != name;
        std::error_code error;
        const auto status = fs::symlink_status(file, error);
        if (status.type() == fs::file_type::not_found) return ExportWriteTarget{file, false, isRenamed};
        if (status.type() != fs::file_type::none && !fs::is_directory(file, error) && !protectedPaths.contains(file))
            return ExportWriteTarget{file, true, isRenamed};
        return std::nullopt;
    };
    // The photo's own earlier file keeps its name, numbered or not, so that an output never leaves
    // its earlier self behind.
    if (mode == ExportConflictMode::overwrite && claim.earlierName &&
        FileNameResolver::variantNumber(*claim.earlierName, name))
        if (auto own = over(folder / *claim.earlierName)) return own;
    // The name itself while nothing is there, as just seen.
    if (!atName.present && !isTaken(candidate)) return ExportWriteTarget{candidate, false, false};
    if (mode == ExportConflictMode::overwrite)
        if (auto replaced = over(candidate)) return replaced;
    const auto url = FileNameResolver::availableURL(name, folder, isTaken);
    if (!url) {
        checkFailed(presenceAt(candidate)); // the folder may have gone while the numbered names were looked at
        return std::nullopt;
    }
    return ExportWriteTarget{*url, false, url->filename().string() != name};
}

ExportConflictResolver::ProtectedPaths
ExportConflictResolver::protectedSourcePaths(const std::vector<Photo>& photos,
                                             const std::vector<fs::path>& additionalURLs) {
    ProtectedPaths protectedPaths;
    std::set<fs::path> named;
    const auto add = [&](const fs::path& file) {
        if (named.insert(FilePath::standardized(file)).second) protectedPaths.files.push_back(file);
    };
    for (const auto& photo : photos)
        for (const auto& file : photo.originalFiles())
            add(file.url);
    for (const auto& url : additionalURLs)
        add(url);
    return protectedPaths;
}

} // namespace sorvin
