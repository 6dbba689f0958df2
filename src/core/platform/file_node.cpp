#include "platform/file_node.hpp"

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

bool FileNode::showsIn(const std::filesystem::path& file, const std::filesystem::path& folder) {
    struct stat info {};
    return ::lstat((folder / file.filename()).c_str(), &info) == 0;
}

} // namespace sorvin
