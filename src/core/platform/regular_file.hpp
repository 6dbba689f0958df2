#pragma once

#include "platform/large_allocation.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <system_error>

namespace sorvin {

// A file's whole content.
struct FileBytes {
    LargeBytes bytes;
    std::size_t size = 0;

    std::span<const std::uint8_t> span() const { return {bytes.get(), size}; }
};

// A regular file opened for reading untrusted content. Opening never blocks (a FIFO or device that
// took a photo's name is refused, not waited on), and the size is known up front so readers can
// cap what they take.
class RegularFile {
public:
    // Nothing when the path cannot be opened, is not a regular file or is larger than maxBytes.
    static std::optional<RegularFile> open(const std::filesystem::path& path, std::uint64_t maxBytes);
    // The same, telling why nothing was opened: the system's error (no_such_file_or_directory when
    // nothing is there), invalid_argument for anything but a regular file, file_too_large.
    static std::optional<RegularFile> open(const std::filesystem::path& path, std::uint64_t maxBytes,
                                           std::error_code& refused);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    int descriptor() const { return fd_; }
    std::uint64_t size() const { return size_; }

    // Reads exactly count bytes at offset; false on a short read or an error.
    bool readAt(std::uint64_t offset, void* into, std::size_t count) const;
    // The whole file; nothing when it changed size under us. A photo's file is read at every step
    // through a folder, so its block is kept for the next file of about its size once freed, like a
    // bitmap's (see allocateLargeBytes), instead of being faulted in fresh each time.
    std::optional<FileBytes> readAll() const;

    // A path naming this very open file, for libraries that insist on opening files themselves:
    // they get the checked file even if the name is replaced in the meantime.
    std::string descriptorPath() const;

private:
    RegularFile(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

} // namespace sorvin
