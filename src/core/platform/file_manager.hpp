#pragma once

#include "platform/atomic_file.hpp"
#include "platform/file_version.hpp"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

// The file operations of the stores that keep the user's data, in one place so that a test can
// make one of them fail (a folder that cannot be written, a file that cannot be moved) whoever
// runs it. The standard manager works on the real file system; every write is atomic.
class FileManager {
public:
    virtual ~FileManager() = default;

    // True when something exists at the path (a dangling link does not count).
    virtual bool fileExists(const std::filesystem::path& path) const;
    // True when a regular file, or a link to one, is there (no FIFO, device or folder).
    virtual bool isRegularFile(const std::filesystem::path& path) const;
    // True when any entry, a dangling link included, has the name.
    virtual bool entryExists(const std::filesystem::path& path) const;
    virtual std::optional<std::filesystem::file_time_type>
    modificationTime(const std::filesystem::path& path) const;
    // The file at the path now; nothing when nothing is there. Throws std::system_error when the
    // system cannot tell.
    virtual std::optional<FileVersion> version(const std::filesystem::path& path) const;
    // The whole file, and the version read when asked; throws std::system_error, also for a file
    // larger than maxBytes.
    virtual std::string contents(const std::filesystem::path& path, std::size_t maxBytes,
                                 FileVersion* version = nullptr) const;
    // Whether the folder's listing holds the name: what tells a file that is not there from one
    // the system could not look at, or one being renamed over. Throws std::system_error when the
    // folder cannot be listed.
    virtual bool listed(const std::filesystem::path& path) const;
    // Replaces the file only as the one expected (none: nothing there); see
    // AtomicFile::replace. Throws std::system_error; the old file stays as it was on failure. The
    // temporary file is "<name>.tmp-<process id>" beside the target.
    virtual AtomicFile::Replacement replace(const std::filesystem::path& path, std::string_view bytes,
                                            const AtomicFile::Expected& expected);
    // Throws std::filesystem::filesystem_error; nothing there is no error.
    virtual void removeItem(const std::filesystem::path& path);
    // Throws std::filesystem::filesystem_error.
    virtual void moveItem(const std::filesystem::path& from, const std::filesystem::path& to);
    virtual void createDirectories(const std::filesystem::path& folder);

    static FileManager& standard();
};

} // namespace sorvin
