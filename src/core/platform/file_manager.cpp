#include "platform/file_manager.hpp"

#include "platform/atomic_file.hpp"

#include <cerrno>
#include <dirent.h>
#include <system_error>

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

bool FileManager::listed(const fs::path& path) const {
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    DIR* directory = ::opendir(folder.c_str());
    // No folder there holds no name either.
    if (!directory && (errno == ENOENT || errno == ENOTDIR)) return false;
    if (!directory) throw std::system_error(errno, std::generic_category(), "list folder");
    const std::string name = path.filename().string();
    bool found = false;
    errno = 0;
    while (const dirent* entry = ::readdir(directory)) {
        if (name == entry->d_name) {
            found = true;
            break;
        }
    }
    const int error = errno;
    ::closedir(directory);
    if (!found && error != 0) throw std::system_error(error, std::generic_category(), "list folder");
    return found;
}

AtomicFile::Replacement FileManager::replace(const fs::path& path, std::string_view bytes,
                                             const AtomicFile::Expected& expected) {
    return AtomicFile::replace(path, bytes, AtomicFile::TemporaryName::perProcess, expected);
}

void FileManager::removeItem(const fs::path& path) {
    fs::remove(path);
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
