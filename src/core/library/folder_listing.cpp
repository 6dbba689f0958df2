// Listing the candidate files of a folder, with their keys built from the walk itself.
#include "library/folder_scanner.hpp"
#include "platform/unicode_text.hpp"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace sorvin {

namespace {

class Directory {
public:
    explicit Directory(DIR* dir) : dir_(dir) {}
    ~Directory() {
        if (dir_) ::closedir(dir_);
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

std::optional<CacheIdentity> identityOf(const struct stat& info) {
    // Milliseconds truncated toward zero, also for times before 1970.
    std::int64_t ms =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1'000'000;
    if (info.st_mtim.tv_sec < 0 && info.st_mtim.tv_nsec % 1'000'000 != 0 && ms < 0) ms += 1;
    return CacheIdentity{static_cast<std::int64_t>(info.st_size), ms};
}

struct PendingFolder {
    std::string relative; // raw bytes below the root, "" for the root itself
    bool valid;           // every name on the way is well-formed UTF-8
};

// Walks without recursion and holds one directory open at a time, so neither a deep tree nor a
// wide one can exhaust the stack or the descriptors.
std::vector<ScanCandidate> walk(const std::filesystem::path& root, int rootFd, bool includeSubfolders) {
    std::vector<ScanCandidate> found;
    std::vector<PendingFolder> pending{{"", true}};
    while (!pending.empty()) {
        const PendingFolder folder = std::move(pending.back());
        pending.pop_back();
        const int fd = folder.relative.empty() ? ::dup(rootFd)
                                               : ::openat(rootFd, folder.relative.c_str(),
                                                          O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue; // an unreadable subfolder is passed over
        Directory dir(::fdopendir(fd));
        if (!dir.get()) {
            ::close(fd);
            continue;
        }
        std::vector<PendingFolder> subfolders;
        while (dirent* entry = ::readdir(dir.get())) {
            const std::string_view name(entry->d_name);
            if (name.empty() || name[0] == '.') continue; // hidden, and "." and ".."
            const bool mayBeFolder = entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN;
            const bool mayBePhoto = photoFileFormatFrom(std::filesystem::path(name)).has_value();
            if (!mayBePhoto && !(includeSubfolders && mayBeFolder)) continue;

            struct stat info {};
            if (::fstatat(::dirfd(dir.get()), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
            std::string relative =
                folder.relative.empty() ? std::string(name) : folder.relative + "/" + std::string(name);
            const bool valid = folder.valid && UnicodeText::nfc(name).has_value();
            if (S_ISDIR(info.st_mode)) {
                if (includeSubfolders) subfolders.push_back({std::move(relative), valid});
            } else if (mayBePhoto && S_ISREG(info.st_mode) && info.st_size > 0) {
                ScanCandidate candidate;
                candidate.url = root / relative;
                if (valid) candidate.relativePath = UnicodeText::nfc(relative);
                candidate.identity = identityOf(info);
                found.push_back(std::move(candidate));
            }
        }
        // Depth first, subfolders in listing order.
        pending.insert(pending.end(), std::make_move_iterator(subfolders.rbegin()),
                       std::make_move_iterator(subfolders.rend()));
    }
    return found;
}

} // namespace

std::filesystem::path FolderScanner::standardized(const std::filesystem::path& folder) {
    std::filesystem::path path = folder.is_absolute() ? folder : std::filesystem::current_path() / folder;
    path = path.lexically_normal();
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

std::optional<CacheIdentity> FolderScanner::cacheIdentity(const std::filesystem::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0) return std::nullopt;
    return identityOf(info);
}

std::vector<ScanCandidate> FolderScanner::candidates(const std::filesystem::path& folder,
                                                     bool includeSubfolders) {
    const std::filesystem::path root = standardized(folder);
    struct stat info {};
    if (::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || ::access(root.c_str(), R_OK) != 0)
        throw FolderScannerError(FolderScannerError::Kind::inaccessible);
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        if (includeSubfolders) throw FolderScannerError(FolderScannerError::Kind::inaccessible);
        throw std::filesystem::filesystem_error("cannot list folder", root,
                                                std::error_code(errno, std::generic_category()));
    }
    std::vector<ScanCandidate> found = walk(root, fd, includeSubfolders);
    ::close(fd);
    return found;
}

} // namespace sorvin
