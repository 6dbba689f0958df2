#include "platform/opened_folder.hpp"

#include <cerrno>
#include <climits>
#include <deque>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sorvin {

namespace fs = std::filesystem;

namespace {

// As many links as the system follows in one path.
constexpr int kMostLinks = 40;

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// The names of a path, in order, into the front of `names`.
void prependNames(std::deque<std::string>& names, const fs::path& path) {
    std::deque<std::string> inserted;
    for (const auto& name : path.relative_path())
        if (!name.empty()) inserted.push_back(name.string());
    names.insert(names.begin(), inserted.begin(), inserted.end());
}

} // namespace

void OpenedFolder::askAtOnce(const fs::path&, const std::function<void()>& call) {
    call();
}

std::optional<OpenedFolder> OpenedFolder::open(const fs::path& path, const Ask& ask, std::error_code& error) {
    std::error_code ignored;
    const fs::path absolute = path.is_absolute() ? path : fs::absolute(path, ignored);
    const auto fail = [&](int code) {
        error = std::error_code(code, std::generic_category());
        return std::nullopt;
    };
    OpenedFolder current(::open("/", kFolderFlags), "/");
    if (current.fd_ < 0) return fail(errno);
    std::deque<std::string> names;
    prependNames(names, absolute);
    int links = 0;
    while (!names.empty()) {
        const std::string name = std::move(names.front());
        names.pop_front();
        if (name == ".") continue;
        const fs::path place = name == ".." ? current.walked_.parent_path() : current.walked_ / name;
        int next = -1;
        int failure = 0;
        ask(place, [&] {
            next = ::openat(current.fd_, name.c_str(), kFolderFlags | O_NOFOLLOW);
            failure = errno;
        });
        if (next >= 0) {
            current = OpenedFolder(next, place);
            continue;
        }
        // Not a folder: a link to follow, or a file.
        if (failure != ENOTDIR && failure != ELOOP) return fail(failure);
        std::string target(PATH_MAX, '\0');
        ssize_t length = -1;
        ask(place, [&] {
            length = ::readlinkat(current.fd_, name.c_str(), target.data(), target.size());
            failure = errno;
        });
        if (length < 0) return fail(failure == EINVAL ? ENOTDIR : failure);
        if (++links > kMostLinks) return fail(ELOOP);
        target.resize(static_cast<std::size_t>(length));
        const fs::path link(target);
        if (link.is_absolute()) {
            current = OpenedFolder(::open("/", kFolderFlags), "/");
            if (current.fd_ < 0) return fail(errno);
        }
        prependNames(names, link);
    }
    error.clear();
    return current;
}

OpenedFolder& OpenedFolder::operator=(OpenedFolder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        walked_ = std::move(other.walked_);
    }
    return *this;
}

OpenedFolder::~OpenedFolder() {
    if (fd_ >= 0) ::close(fd_);
}

fs::path OpenedFolder::handlePath() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

fs::path OpenedFolder::resolved() const {
    std::error_code error;
    const fs::path shown = fs::read_symlink(handlePath(), error);
    // Without /proc: the path walked.
    if (error || !shown.is_absolute()) return walked_.lexically_normal();
    return shown;
}

std::optional<OpenedFolder::Identity> OpenedFolder::identity(const Ask& ask) const {
    struct statx info {};
    int result = -1;
    ask(resolved(), [&] { result = ::statx(fd_, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &info); });
    if (result != 0) return std::nullopt;
    Identity identity{FileNode{makedev(info.stx_dev_major, info.stx_dev_minor), info.stx_ino}, std::nullopt};
    if (info.stx_mask & STATX_MNT_ID) identity.mountId = info.stx_mnt_id;
    return identity;
}

bool OpenedFolder::isWritable(const Ask& ask) const {
    int result = -1;
    ask(resolved(), [&] { result = ::access(handlePath().c_str(), W_OK); });
    return result == 0;
}

FileNode::Placement OpenedFolder::placementAgainst(const FileNode& root, const Identity& own, const Ask& ask) const {
    using Placement = FileNode::Placement;
    if (own.node == root) return Placement::same;
    FileNode below = own.node;
    int fd = fd_;
    OpenedFolder above(-1, walked_);
    for (fs::path place = resolved(); place.has_relative_path();) {
        place = place.parent_path();
        int next = -1;
        ask(place, [&] { next = ::openat(fd, "..", kFolderFlags); });
        if (next < 0) return Placement::elsewhere;
        above = OpenedFolder(next, place);
        fd = next;
        const auto parent = above.identity(ask);
        // The top: ".." of the root folder is itself.
        if (!parent || parent->node == below) return Placement::elsewhere;
        if (parent->node == root) return Placement::inside;
        below = parent->node;
    }
    return Placement::elsewhere;
}

} // namespace sorvin
