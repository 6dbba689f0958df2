#pragma once

#include <compare>
#include <filesystem>
#include <optional>
#include <system_error>
#include <sys/types.h>

namespace sorvin {

// Which file a path leads to (device and inode, symbolic links followed): the same for every path
// that reaches the file, through a link, a hard link, a bind mount or a share mounted twice on one
// device. Paths alone cannot tell these apart.
struct FileNode {
    dev_t device = 0;
    ino_t inode = 0;

    auto operator<=>(const FileNode&) const = default;

    // None when nothing can be reached there; `error` then says why.
    static std::optional<FileNode> of(const std::filesystem::path& path);
    static std::optional<FileNode> of(const std::filesystem::path& path, std::error_code& error);

    // Where a folder lies against a root folder: is it, lies inside it, or elsewhere.
    enum class Placement { elsewhere, same, inside };

    // Whether a file just made in one folder shows under its name in the other folder too: then the
    // two are one folder, also where their nodes differ (a FUSE mount such as bindfs or sshfs, a
    // network share mounted twice). The name must be fresh, so that no cache of a mount knows it.
    static bool showsIn(const std::filesystem::path& file, const std::filesystem::path& folder);
};

} // namespace sorvin
