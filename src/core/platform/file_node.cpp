#include "platform/file_node.hpp"

#include "platform/file_path.hpp"

#include <cerrno>
#include <sys/stat.h>

namespace sorvin {

std::optional<FileNode> FileNode::of(const std::filesystem::path& path) {
    std::error_code ignored;
    return of(path, ignored);
}

std::optional<FileNode> FileNode::of(const std::filesystem::path& path, std::error_code& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = std::error_code(errno, std::generic_category());
        return std::nullopt;
    }
    error.clear();
    return FileNode{info.st_dev, info.st_ino};
}

FileNode::Placement FileNode::placement(const std::filesystem::path& folder, const std::filesystem::path& root) {
    const auto rootNode = of(root);
    if (!rootNode) return Placement::elsewhere;
    // Walked by the resolved path: ".." of a linked folder is the link target's parent.
    std::filesystem::path current = FilePath::resolved(folder);
    for (bool first = true;; first = false) {
        if (of(current) == rootNode) return first ? Placement::same : Placement::inside;
        const auto parent = current.parent_path();
        if (parent.empty() || parent == current) return Placement::elsewhere;
        current = parent;
    }
}

bool FileNode::showsIn(const std::filesystem::path& file, const std::filesystem::path& folder) {
    struct stat info {};
    return ::lstat((folder / file.filename()).c_str(), &info) == 0;
}

} // namespace sorvin
