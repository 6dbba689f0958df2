#include "platform/file_version.hpp"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>

namespace sorvin {

FileVersion FileVersion::of(const struct stat& info) {
    return FileVersion{FileNode{info.st_dev, info.st_ino}, static_cast<std::uint64_t>(info.st_size),
                       static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                       S_ISREG(info.st_mode)};
}

std::optional<FileVersion> FileVersion::at(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return of(info);
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw std::system_error(errno, std::generic_category(), "look at file");
}

} // namespace sorvin
