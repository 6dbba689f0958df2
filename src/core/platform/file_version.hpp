#pragma once

#include "platform/file_node.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>

struct stat;

namespace sorvin {

// One state of a file: which file a path leads to, its size and its modification time. A file
// renamed over the path, or one written in place, gives another version.
struct FileVersion {
    FileNode node;
    std::uint64_t size = 0;
    std::int64_t modifiedNanoseconds = 0;
    bool regular = true; // false for a FIFO, a device, a folder (links followed)

    bool operator==(const FileVersion&) const = default;

    static FileVersion of(const struct stat& info);
    // The file at the path (links followed); nothing when nothing is there. Throws
    // std::system_error when the system cannot tell (EIO, ESTALE, ENOTCONN, a denied folder).
    static std::optional<FileVersion> at(const std::filesystem::path& path);
};

} // namespace sorvin
