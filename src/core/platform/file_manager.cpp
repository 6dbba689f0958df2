#include "platform/file_manager.hpp"

#include "platform/atomic_file.hpp"

namespace sorvin {

namespace fs = std::filesystem;

bool FileManager::fileExists(const fs::path& path) const {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

bool FileManager::isRegularFile(const fs::path& path) const {
    std::error_code ignored;
    return fs::is_regular_file(path, ignored);
}

bool FileManager::entryExists(const fs::path& path) const {
    std::error_code ignored;
    return fs::symlink_status(path, ignored).type() != fs::file_type::not_found;
}

std::optional<fs::file_time_type> FileManager::modificationTime(const fs::path& path) const {
    std::error_code error;
    const auto time = fs::last_write_time(path, error);
    if (error) return std::nullopt;
    return time;
}

std::optional<FileVersion> FileManager::version(const fs::path& path) const {
    return FileVersion::at(path);
}

std::string FileManager::contents(const fs::path& path, std::size_t maxBytes, FileVersion* version) const {
    return AtomicFile::read(path, maxBytes, version);
}

FileVersion FileManager::writeAtomically(const fs::path& path, std::string_view bytes,
                                         const std::function<void()>& beforeReplacing) {
    return AtomicFile::write(path, bytes, AtomicFile::TemporaryName::perProcess, beforeReplacing);
}

void FileManager::moveItem(const fs::path& from, const fs::path& to) {
    fs::rename(from, to);
}

void FileManager::createDirectories(const fs::path& folder) {
    fs::create_directories(folder);
}

FileManager& FileManager::standard() {
    static FileManager manager;
    return manager;
}

} // namespace sorvin
