#pragma once

#include "platform/file_node.hpp"

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
    };

    // This process's mounts; an empty table when they cannot be read.
    static MountTable read();
    // The table of mountinfo text; lines it cannot read are left out.
    static MountTable parse(std::string_view mountinfo);

    const std::vector<Mount>& mounts() const { return mounts_; }

    // Where a folder lies against a root folder by the table: the same folder, or inside it, when
    // a mount of the folder's file system shows the folder at the root or below it (a bind mount
    // of the root or of a folder under it, a disk mounted twice, a mount inside the root of the
    // folder's disk); elsewhere when the mounts involved all keep their own files; none when the
    // table cannot tell (a mount that may show any folder's files, or a folder it does not list).
    // Both folders must exist.
    std::optional<FileNode::Placement> placement(const std::filesystem::path& folder,
                                                 const std::filesystem::path& root) const;

private:
    // The mount that shows a folder, and the folder's path on that mount's file system.
    struct Place {
        const Mount* mount = nullptr;
        std::filesystem::path path;
    };
    std::optional<Place> placeOf(const std::filesystem::path& folder) const;

    std::vector<Mount> mounts_;
};

} // namespace sorvin
