#include "platform/regular_file.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace sorvin {

std::optional<RegularFile> RegularFile::open(const std::filesystem::path& path, std::uint64_t maxBytes) {
    std::error_code ignored;
    return open(path, maxBytes, ignored);
}

std::optional<RegularFile> RegularFile::open(const std::filesystem::path& path, std::uint64_t maxBytes,
                                             std::error_code& refused) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        refused = {errno, std::generic_category()};
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        refused = {errno, std::generic_category()};
    else if (!S_ISREG(info.st_mode) || info.st_size < 0)
        refused = std::make_error_code(std::errc::invalid_argument);
    else if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        refused = std::make_error_code(std::errc::file_too_large);
    else
        return RegularFile(fd, static_cast<std::uint64_t>(info.st_size));
    ::close(fd);
    return std::nullopt;
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = other.size_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool RegularFile::readAt(std::uint64_t offset, void* into, std::size_t count) const {
    auto* out = static_cast<char*>(into);
    while (count > 0) {
        ssize_t n = ::pread(fd_, out, count, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        out += n;
        offset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<FileBytes> RegularFile::readAll() const {
    FileBytes content{allocateLargeBytes(static_cast<std::size_t>(size_)), static_cast<std::size_t>(size_)};
    if (!readAt(0, content.bytes.get(), content.size)) return std::nullopt;
    // One more byte means the file grew after we measured it: its content is not the one we sized.
    std::uint8_t extra;
    if (::pread(fd_, &extra, 1, static_cast<off_t>(size_)) != 0) return std::nullopt;
    return content;
}

std::string RegularFile::descriptorPath() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

} // namespace sorvin
