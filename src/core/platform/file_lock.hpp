#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace sorvin {

// An exclusive lock held through a lock file for as long as the object lives. The system holds it
// (an open file description lock), so it ends with the process however the process ends, and a
// lock file left by a killed process is simply taken over; two opens of the file conflict even
// within one process. The file names its holder in the text it is given, and is removed when the
// lock is let go.
class FileLock {
public:
    // The text that the holder of a lock wrote into its file; empty while it is still writing it.
    struct HeldBy {
        std::string text;
    };
    // What becomes of the file when the lock is let go. A file kept (one that names no holder) spares
    // the file system its removal and the next holder its making: calls fewer on a share that
    // answers each late.
    enum class File { removed, kept };
    // Takes the lock without waiting, creating the file (and writing the text into it, unless empty). Throws
    // std::system_error when the file cannot be made or locked (a folder that cannot be written, a file
    // system without locks).
    static std::variant<std::unique_ptr<FileLock>, HeldBy>
    tryAcquire(const std::filesystem::path& file, std::string_view holderText, File after = File::removed);

    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    FileLock(std::filesystem::path file, int descriptor) : file_(std::move(file)), descriptor_(descriptor) {}
    std::filesystem::path file_; // removed when let go; empty when kept
    int descriptor_;
};

} // namespace sorvin
