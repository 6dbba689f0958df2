#include "platform/mount_table.hpp"

#include "platform/file_path.hpp"

#include <charconv>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sorvin {

namespace {

namespace fs = std::filesystem;

// mountinfo writes a blank, a tab, a line break and a backslash of a path as "\ooo".
std::string unescaped(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        if (end > at) fields.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return fields;
}

template <class Number>
bool readNumber(std::string_view text, Number& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

// "36 35 98:0 /root /mount/point rw,noatime master:1 - ext3 /dev/root rw": the optional fields
// before "-" vary in number.
std::optional<MountTable::Mount> mountOf(std::string_view line) {
    const auto fields = fieldsOf(line);
    if (fields.size() < 9) return std::nullopt;
    MountTable::Mount mount;
    const std::string_view device = fields[2];
    const std::size_t colon = device.find(':');
    unsigned int major = 0, minor = 0;
    if (!readNumber(fields[0], mount.id) || colon == std::string_view::npos ||
        !readNumber(device.substr(0, colon), major) || !readNumber(device.substr(colon + 1), minor))
        return std::nullopt;
    mount.device = makedev(major, minor);
    mount.root = unescaped(fields[3]);
    mount.mountPoint = unescaped(fields[4]);
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    if (separator + 2 >= fields.size()) return std::nullopt;
    mount.type = unescaped(fields[separator + 1]);
    mount.source = unescaped(fields[separator + 2]);
    if (!mount.root.is_absolute() || !mount.mountPoint.is_absolute()) return std::nullopt;
    return mount;
}

// The server a share's source names ("nas:/photos", "me@nas:/photos", "//nas/photos",
// "[fe80::1]:/photos", "drive:" of a cloud drive); none for a path or a name without a server.
std::optional<std::string> serverOf(const std::string& source) {
    std::string server;
    if (source.starts_with("//")) {
        server = source.substr(2, source.find('/', 2) - 2);
    } else if (source.starts_with("[")) {
        const std::size_t end = source.find("]:");
        if (end == std::string::npos) return std::nullopt;
        server = source.substr(1, end - 1);
    } else {
        const std::size_t colon = source.find(':');
        if (colon == std::string::npos || source.find('/') < colon) return std::nullopt;
        server = source.substr(0, colon);
        if (const std::size_t at = server.rfind('@'); at != std::string::npos) server.erase(0, at + 1);
    }
    if (server.empty()) return std::nullopt;
    return server;
}

// A share of this machine may show any of its disks.
bool isThisMachine(const std::string& server) {
    char name[256] = {};
    const bool named = ::gethostname(name, sizeof name - 1) == 0;
    return server == "localhost" || server.starts_with("127.") || server == "::1" ||
           (named && server == name);
}

} // namespace

bool MountTable::Disk::mayBe(const Disk& other) const {
    if (kind == Kind::unknown || other.kind == Kind::unknown) return true;
    if (kind != other.kind) return false;
    return kind == Kind::device ? device == other.device : server == other.server;
}

bool MountTable::Mount::keepsItsOwnFiles() const {
    if (type == "tmpfs" || type == "ramfs") return true;
    // A FUSE file system names its source as it likes; only one on a block device (fuseblk) is
    // that device's.
    return !isFuse() && source.starts_with("/dev/");
}

bool MountTable::Mount::isFuse() const {
    return type == "fuse" || type.starts_with("fuse.");
}

MountTable MountTable::read() {
    std::ifstream in("/proc/self/mountinfo");
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

MountTable MountTable::parse(std::string_view mountinfo) {
    MountTable table;
    std::size_t at = 0;
    while (at < mountinfo.size()) {
        const std::size_t end = std::min(mountinfo.find('\n', at), mountinfo.size());
        if (auto mount = mountOf(mountinfo.substr(at, end - at))) table.mounts_.push_back(std::move(*mount));
        at = end + 1;
    }
    return table;
}

const MountTable::Mount* MountTable::mountAbove(const fs::path& resolved) const {
    const Mount* above = nullptr;
    for (const Mount& mount : mounts_)
        if ((mount.mountPoint == resolved || FilePath::isInside(resolved, mount.mountPoint)) &&
            (!above || mount.mountPoint.native().size() >= above->mountPoint.native().size()))
            above = &mount;
    return above;
}

MountTable::Location MountTable::Location::of(const fs::path& folder) {
    Location location{FilePath::resolved(folder), std::nullopt};
    struct statx info {};
    if (::statx(AT_FDCWD, location.resolved.c_str(), 0, STATX_MNT_ID, &info) == 0 && (info.stx_mask & STATX_MNT_ID))
        location.mountId = info.stx_mnt_id;
    return location;
}

std::optional<MountTable::Place> MountTable::placeOf(const Location& folder) const {
    const fs::path& resolved = folder.resolved;
    const Mount* shown = nullptr;
    if (folder.mountId)
        for (const Mount& mount : mounts_)
            if (mount.id == *folder.mountId) shown = &mount;
    // Without the system's answer: by the path.
    if (!shown) shown = mountAbove(resolved);
    if (!shown) return std::nullopt;
    const fs::path below = resolved.lexically_relative(shown->mountPoint);
    if (below.empty() || *below.begin() == "..") return std::nullopt;
    return Place{shown, FilePath::standardized(shown->root / below)};
}

const MountTable::Mount* MountTable::mountShowing(const Location& folder) const {
    const auto place = placeOf(folder);
    return place ? place->mount : nullptr;
}

std::vector<const MountTable::Mount*> MountTable::mountsInside(const fs::path& resolvedFolder) const {
    std::vector<const Mount*> inside;
    for (const Mount& mount : mounts_) {
        if (!FilePath::isInside(mount.mountPoint, resolvedFolder)) continue;
        std::erase_if(inside, [&](const Mount* earlier) { return earlier->mountPoint == mount.mountPoint; });
        inside.push_back(&mount);
    }
    return inside;
}

MountTable::Disk MountTable::diskShownBy(const Mount& mount) const {
    if (mount.keepsItsOwnFiles()) return {Disk::Kind::device, mount.device, {}};
    if (const auto server = serverOf(mount.source)) {
        if (isThisMachine(*server)) return {};
        return {Disk::Kind::server, 0, *server};
    }
    // bindfs and its kind name the folder they show; a device (/dev/fuse), or a list of folders
    // (mergerfs), says nothing of where the files are.
    const fs::path source(mount.source);
    if (!mount.isFuse() || !source.is_absolute() || mount.source.find(':') != std::string::npos) return {};
    // Another FUSE mount or a share above that folder may show anything again.
    const Mount* holder = mountAbove(FilePath::standardized(source));
    if (!holder || !holder->keepsItsOwnFiles() || holder->mountPoint == "/dev") return {};
    return {Disk::Kind::device, holder->device, {}};
}

std::optional<FileNode::Placement> MountTable::placement(const fs::path& folder, const fs::path& root) const {
    return placement(Location::of(folder), Location::of(root));
}

std::optional<FileNode::Placement> MountTable::placement(const Location& folder, const Location& root) const {
    using Placement = FileNode::Placement;
    const auto folderPlace = placeOf(folder);
    const auto rootPlace = placeOf(root);
    if (!folderPlace || !rootPlace) return std::nullopt;
    const Mount& folderMount = *folderPlace->mount;
    const fs::path& kept = folderPlace->path; // where the folder's files are kept on their device
    const auto showsUnder = [&](const Mount& mount, const fs::path& shownFolder) {
        return mount.device == folderMount.device &&
               (kept == shownFolder || FilePath::isInside(kept, shownFolder));
    };
    if (showsUnder(*rootPlace->mount, rootPlace->path))
        return kept == rootPlace->path ? Placement::same : Placement::inside;
    // A mount inside the root shows its whole root folder under the root.
    const fs::path& rootPath = root.resolved;
    bool known = folderMount.keepsItsOwnFiles() && rootPlace->mount->keepsItsOwnFiles();
    for (const Mount& mount : mounts_) {
        if (!FilePath::isInside(mount.mountPoint, rootPath)) continue;
        if (showsUnder(mount, mount.root)) return Placement::inside;
        known = known && mount.keepsItsOwnFiles();
    }
    if (!known) return std::nullopt;
    return Placement::elsewhere;
}

} // namespace sorvin
