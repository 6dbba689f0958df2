#pragma once

#include "platform/file_node.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>
#include <utility>

namespace sorvin {

// A folder opened once by its path, so that each later question about it is one call to its disk
// however deep it lies: asked by path, a share answers for every name of the path again. The path
// is walked one name at a time, symbolic links followed, each step its own call.
class OpenedFolder {
public:
    // Runs `call`, one call to the disk at `place`; whoever opens a folder may time or hold it.
    using Ask = std::function<void(const std::filesystem::path& place, const std::function<void()>& call)>;
    // Asks at once.
    static void askAtOnce(const std::filesystem::path& place, const std::function<void()>& call);

    // The folder at `path`; none, with `error` set, when no folder can be reached there (ENOENT,
    // ENOTDIR for a file...).
    static std::optional<OpenedFolder> open(const std::filesystem::path& path, const Ask& ask,
                                            std::error_code& error);

    OpenedFolder(OpenedFolder&& other) noexcept : fd_(std::exchange(other.fd_, -1)), walked_(std::move(other.walked_)) {}
    OpenedFolder& operator=(OpenedFolder&& other) noexcept;
    OpenedFolder(const OpenedFolder&) = delete;
    OpenedFolder& operator=(const OpenedFolder&) = delete;
    ~OpenedFolder();

    // Its path as the system knows it, every link resolved; asks no disk.
    std::filesystem::path resolved() const;
    // A path that reaches the folder itself without walking its path again (/proc/self/fd/N), for
    // calls that take a path.
    std::filesystem::path handlePath() const;

    // Its node and the mount it is shown by (none where the system does not say); one call.
    struct Identity {
        FileNode node;
        std::optional<std::uint64_t> mountId;
    };
    std::optional<Identity> identity(const Ask& ask) const;
    // Whether this process may write into it; one call.
    bool isWritable(const Ask& ask) const;

    // Whether the folder, of identity `own`, is `root` or lies inside it, by node: each folder above
    // it (the system's, not its path's: ".." of a linked folder is its target's parent) is one call.
    FileNode::Placement placementAgainst(const FileNode& root, const Identity& own, const Ask& ask) const;

    int descriptor() const { return fd_; }

private:
    OpenedFolder(int fd, std::filesystem::path walked) : fd_(fd), walked_(std::move(walked)) {}

    int fd_ = -1;
    std::filesystem::path walked_; // the path walked, links resolved by name
};

} // namespace sorvin
