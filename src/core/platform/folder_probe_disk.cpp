#include "platform/folder_probe_disk.hpp"

#include "platform/localized_text_order.hpp"
#include "platform/mount_table.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sorvin {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// How often a long listing says that the disk goes on answering.
constexpr auto kAnsweringEvery = std::chrono::milliseconds(100);

} // namespace

// The mount table as it is now: /proc/self/mountinfo answers poll() with an exceptional condition
// once for each change of the table since it was last polled, so it is read again only then.
struct FolderProbeDisk::Mounts {
    std::mutex mutex;
    int watch = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    bool read = false;
    MountTable table;

    ~Mounts() {
        if (watch >= 0) ::close(watch);
    }

    DiskId diskOf(const std::filesystem::path& resolved) {
        const std::lock_guard lock(mutex);
        pollfd changed{watch, POLLPRI, 0};
        if (!read || watch < 0 || (::poll(&changed, 1, 0) > 0 && (changed.revents & (POLLPRI | POLLERR)))) {
            table = MountTable::read();
            read = true;
        }
        const MountTable::Mount* mount = table.mountAbove(resolved);
        return mount ? static_cast<DiskId>(mount->device) : kAnyDisk;
    }
};

FolderProbeDisk::FolderProbeDisk() : mounts_(std::make_unique<Mounts>()) {}

FolderProbeDisk::~FolderProbeDisk() = default;

DiskId FolderProbeDisk::diskOf(const std::filesystem::path& resolved) const {
    return mounts_->diskOf(resolved);
}

FolderProbeNode FolderProbeDisk::node(const std::filesystem::path& path) const {
    return readNode(path);
}

FolderProbeListing FolderProbeDisk::listing(const std::filesystem::path& folder,
                                            const std::function<void()>& answering) const {
    return readListing(folder, answering);
}

FolderProbeNode FolderProbeDisk::readNode(const std::filesystem::path& path) {
    FolderProbeNode node;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        node.error = lastError();
        return node;
    }
    if (S_ISLNK(status.st_mode)) {
        std::string target(std::max<std::size_t>(static_cast<std::size_t>(status.st_size), 255) + 1, '\0');
        for (;;) {
            const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
            if (length < 0) {
                node.error = lastError();
                return node;
            }
            if (static_cast<std::size_t>(length) < target.size()) {
                target.resize(static_cast<std::size_t>(length));
                break;
            }
            target.resize(target.size() * 2); // the link changed meanwhile
        }
        node.linkTarget = std::move(target);
        return node;
    }
    node.kind = S_ISDIR(status.st_mode) ? FolderProbePathKind::folder : FolderProbePathKind::other;
    return node;
}

FolderProbeListing FolderProbeDisk::readListing(const std::filesystem::path& folder,
                                                const std::function<void()>& answering) {
    FolderProbeListing listing;
    DIR* directory = ::opendir(folder.c_str());
    if (!directory) {
        listing.error = lastError();
        return listing;
    }
    auto lastSaid = std::chrono::steady_clock::now();
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(directory);
        if (!entry) {
            if (errno != 0) listing.error = lastError();
            break;
        }
        if (answering && std::chrono::steady_clock::now() - lastSaid >= kAnsweringEvery) {
            answering();
            lastSaid = std::chrono::steady_clock::now();
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR) listing.entries.push_back({name, true, false});
        else if (entry->d_type == DT_REG) listing.entries.push_back({name, false, true});
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) listing.entries.push_back({name, false, false});
    }
    ::closedir(directory);
    std::vector<std::pair<LocalizedTextOrder::Key, FolderProbeEntry>> keyed;
    keyed.reserve(listing.entries.size());
    for (FolderProbeEntry& entry : listing.entries) {
        LocalizedTextOrder::Key key = LocalizedTextOrder::key(entry.name);
        keyed.emplace_back(std::move(key), std::move(entry));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    listing.entries.clear();
    for (auto& [key, entry] : keyed) listing.entries.push_back(std::move(entry));
    return listing;
}

} // namespace sorvin
