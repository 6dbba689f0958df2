// Listing the candidate files of a folder, with their keys built from the walk itself.
#include "library/folder_scanner.hpp"
#include "platform/parallel_for.hpp"
#include "platform/unicode_text.hpp"

#include <cerrno>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <tbb/task_group.h>
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

struct ListedName {
    std::string name;
    unsigned char type; // DT_DIR, DT_REG or DT_UNKNOWN
    bool mayBePhoto;
};

// Names of one folder as they were read, and what their lookups found. Batches are looked up on
// worker threads while the folder is still being read, each batch writing only its own results.
struct ListedBatch {
    std::vector<ListedName> names;
    std::vector<std::optional<ScanCandidate>> files;
    std::vector<char> isFolder;
};

constexpr std::size_t namesPerBatch = 128;

// One attribute lookup per name, relative to the open folder: the files that are candidates, with
// their keys and identities, and the names that are folders to walk.
void lookUp(ListedBatch& batch, int folderFd, const std::string& rootPrefix, const std::string& prefix,
            bool folderValid, bool includeSubfolders) {
    batch.files.resize(batch.names.size());
    batch.isFolder.assign(batch.names.size(), 0);
    for (std::size_t i = 0; i < batch.names.size(); ++i) {
        const ListedName& listed = batch.names[i];
        if (listed.type == DT_DIR) {
            batch.isFolder[i] = 1;
            continue;
        }
        struct stat info {};
        if (::fstatat(folderFd, listed.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            batch.isFolder[i] = includeSubfolders;
            continue;
        }
        if (!listed.mayBePhoto || !S_ISREG(info.st_mode) || info.st_size <= 0) continue;
        ScanCandidate candidate;
        // One string, parsed once: cheaper than joining two paths.
        std::string url;
        url.reserve(rootPrefix.size() + prefix.size() + listed.name.size());
        url.append(rootPrefix).append(prefix).append(listed.name);
        if (folderValid)
            candidate.relativePath = UnicodeText::nfc(std::string_view(url).substr(rootPrefix.size()));
        candidate.url = std::move(url);
        candidate.identity = identityOf(info);
        batch.files[i] = std::move(candidate);
    }
}

// Walks the tree folder by folder, holding one directory open at a time and keeping its own stack,
// so neither a deep tree nor a wide one can exhaust the call stack or the descriptors. The
// attribute lookups of a folder's files (one each, most of a warm scan's time) run in parallel,
// batch by batch, while the rest of the folder is still being read.
// Cancellation is asked every few dozen folders and every few thousand names of a large one.
std::vector<ScanCandidate> walk(const std::filesystem::path& root, int rootFd, bool includeSubfolders,
                                const FolderScanner::CancelProbe& isCancelled) {
    constexpr std::size_t foldersBetweenProbes = 64, namesBetweenProbes = 4096;
    std::size_t folders = 0;
    const auto stopIfCancelled = [&] {
        if (isCancelled && isCancelled()) throw FolderScannerError(FolderScannerError::Kind::cancelled);
    };
    std::vector<ScanCandidate> found;
    std::vector<PendingFolder> pending{{"", true}};
    const std::string rootPrefix = root.native() == "/" ? root.native() : root.native() + "/";
    while (!pending.empty()) {
        if (++folders % foldersBetweenProbes == 0) stopIfCancelled();
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
        const std::string prefix = folder.relative.empty() ? std::string() : folder.relative + "/";
        std::deque<ListedBatch> batches; // stable addresses for the workers
        ParallelHandoff handoff;         // each batch, filled here, to the lookup that takes it
        tbb::task_group lookups;         // left by a cancellation, it waits for the lookups under way
        const auto lookUpLater = [&] {
            ListedBatch& batch = batches.back();
            handoff.handOver();
            lookups.run([&batch, &handoff, folderFd = ::dirfd(dir.get()), &rootPrefix, &prefix,
                         valid = folder.valid, includeSubfolders] {
                handoff.takeOver();
                lookUp(batch, folderFd, rootPrefix, prefix, valid, includeSubfolders);
            });
        };
        std::size_t read = 0;
        while (dirent* entry = ::readdir(dir.get())) {
            if (++read % namesBetweenProbes == 0) stopIfCancelled();
            const std::string_view name(entry->d_name);
            if (name.empty() || name[0] == '.') continue; // hidden, and "." and ".."
            const unsigned char type = entry->d_type;
            // The format goes by the extension alone.
            const bool mayBePhoto = photoFileFormatFromName(name).has_value();
            const bool wanted = (type == DT_REG && mayBePhoto) || (type == DT_DIR && includeSubfolders) ||
                                (type == DT_UNKNOWN && (mayBePhoto || includeSubfolders));
            if (!wanted) continue;
            if (batches.empty() || batches.back().names.size() == namesPerBatch) {
                if (!batches.empty()) lookUpLater();
                batches.emplace_back().names.reserve(namesPerBatch);
            }
            batches.back().names.push_back({std::string(name), type, mayBePhoto});
        }
        if (!batches.empty()) lookUpLater();
        lookups.wait();

        std::vector<PendingFolder> subfolders;
        for (ListedBatch& batch : batches) {
            for (std::size_t i = 0; i < batch.names.size(); ++i) {
                if (batch.files[i]) found.push_back(std::move(*batch.files[i]));
                if (batch.isFolder[i])
                    subfolders.push_back({prefix + batch.names[i].name,
                                          folder.valid && UnicodeText::nfc(batch.names[i].name).has_value()});
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
                                                     bool includeSubfolders, const CancelProbe& isCancelled) {
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
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    return walk(root, fd, includeSubfolders, isCancelled);
}

} // namespace sorvin
