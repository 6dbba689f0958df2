#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace sorvin::fuzz {

// The bytes as a file in memory, for readers that take a path: nothing touches the disk.
class MemoryFile {
public:
    explicit MemoryFile(std::span<const std::uint8_t> data);
    ~MemoryFile();
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    std::filesystem::path path() const;

private:
    int fd_ = -1;
};

// A folder for files a target must write, in memory where the system allows (flushing a file
// there costs nothing), removed with everything in it when the process ends normally.
class TemporaryFolder {
public:
    explicit TemporaryFolder(std::string_view label);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string_view text(std::span<const std::uint8_t> data) {
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

} // namespace sorvin::fuzz
