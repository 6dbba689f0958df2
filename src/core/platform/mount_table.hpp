#pragma once

#include "platform/file_node.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace sorvin {

// The mounts this process sees (/proc/self/mountinfo), to tell where a folder's files are kept:
// the same file system and the same folder in it, whichever mount point shows it (a bind mount of
// a subfolder, a disk or a share mounted twice). Reading the table touches no mounted file system.
class MountTable {
public:
    struct Mount {
        unsigned long id = 0;
        dev_t device = 0;                 // of the file system
        std::filesystem::path root;       // the folder of the file system shown at the mount point
        std::filesystem::path mountPoint;
        std::string type;                 // "ext4", "fuse.bindfs", "nfs4"…
        std::string source;               // "/dev/sda1", "server:/export"…

        // Whether the mount shows nothing but its own file system (a disk, a partition, a file
        // system in memory), so that its files show elsewhere only through a mount of the same
        // device. A FUSE mount, a network share or an overlay may show any folder's files.
        bool keepsItsOwnFiles() const;
        bool isFuse() const;
        bool operator==(const Mount&) const = default;
    };

    // The disk whose files a mount shows, as far as the table tells: a device of this machine, a
    // server's (a network share, sshfs, a cloud drive), or not known.
    struct Disk {
        enum class Kind { unknown, device, server };
        Kind kind = Kind::unknown;
        dev_t device = 0;
        std::string server;

        // Whether two may be one disk: always when either is not known.
        bool mayBe(const Disk& other) const;
    };

    // A folder as the system showed it: its path with every link resolved, and the mount that shows
    // it (none where the system did not say: the table then goes by the path).
    struct Location {
        std::filesystem::path resolved;
        std::optional<std::uint64_t> mountId;

        // Asks the folder's disk.
        static Location of(const std::filesystem::path& folder);
    };

    // This process's mounts; an empty table when they cannot be read.
    static MountTable read();
    // The table of mountinfo text; lines it cannot read are left out.
    static MountTable parse(std::string_view mountinfo);

    const std::vector<Mount>& mounts() const { return mounts_; }
    // The same mounts, made once each: none made or removed between two readings.
    bool operator==(const MountTable&) const = default;

    // Where a folder lies against a root folder by the table: the same folder, or inside it, when
    // a mount of the folder's file system shows the folder at the root or below it (a bind mount
    // of the root or of a folder under it, a disk mounted twice, a mount inside the root of the
    // folder's disk); elsewhere when the mounts involved all keep their own files; none when the
    // table cannot tell (a mount that may show any folder's files, or a folder it does not list).
    // Both folders must exist.
    std::optional<FileNode::Placement> placement(const Location& folder, const Location& root) const;
    std::optional<FileNode::Placement> placement(const std::filesystem::path& folder,
                                                 const std::filesystem::path& root) const;

    // The mount that shows a folder (which must exist); none when the table does not list it.
    const Mount* mountShowing(const Location& folder) const;
    // The mounts inside a folder (mount points below it, by path), each point once with the mount
    // last made there, the one that shows. Touches no disk.
    std::vector<const Mount*> mountsInside(const std::filesystem::path& resolvedFolder) const;
    // The disk a mount shows: its own device when it keeps its own files; the server a share names
    // (not this machine); the disk of the folder that a FUSE mount such as bindfs names as its
    // source, by the table alone. Touches no disk.
    Disk diskShownBy(const Mount& mount) const;
    // The mount point nearest above a path whose links are resolved, by the path alone; the last
    // mount made there. Touches no disk.
    const Mount* mountAbove(const std::filesystem::path& resolved) const;

private:
    // The mount that shows a folder, and the folder's path on that mount's file system.
    struct Place {
        const Mount* mount = nullptr;
        std::filesystem::path path;
    };
    std::optional<Place> placeOf(const Location& folder) const;

    std::vector<Mount> mounts_;
};

} // namespace sorvin
