#include "platform/output_file.hpp"

#include "platform/regular_file.hpp"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace sorvin::OutputFile {

namespace {

// Copies of photos of any size; the cap only refuses what cannot be a photo.
constexpr std::uint64_t kMaximumCopyBytes = std::uint64_t{1} << 40;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::int64_t& copyTimeStep() {
    static std::int64_t step = 0;
    return step;
}

// The time as a disk that keeps times in whole steps holds it (for tests; else unchanged).
struct timespec keptTime(struct timespec time) {
    const std::int64_t step = copyTimeStep();
    if (step <= 0) return time;
    constexpr std::int64_t kSecond = 1'000'000'000;
    std::int64_t nanoseconds = static_cast<std::int64_t>(time.tv_sec) * kSecond + time.tv_nsec;
    nanoseconds -= ((nanoseconds % step) + step) % step;
    return {static_cast<time_t>(nanoseconds / kSecond), static_cast<long>(nanoseconds % kSecond)};
}

std::function<std::error_code(const std::filesystem::path&)>& nameRefusal() {
    static std::function<std::error_code(const std::filesystem::path&)> refusal;
    return refusal;
}

std::function<void(const std::filesystem::path&)>& beforePublishHook() {
    static std::function<void(const std::filesystem::path&)> hook;
    return hook;
}

// A file this call creates. Until it is kept, closing removes it, and only while the name still
// leads to the very file created here: what anybody else put under the name is left alone.
class NewFile {
public:
    explicit NewFile(const std::filesystem::path& path) : path_(path) {}
    ~NewFile() {
        if (fd_ >= 0) closeAndRemove();
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates the file exclusively: file_exists when anything is under the name.
    std::error_code create(const CreationHook& created) {
        if (const auto& refusal = nameRefusal())
            if (auto error = refusal(path_)) return error;
        fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd_ < 0) return lastError();
        if (created && !created(path_)) return std::make_error_code(std::errc::operation_canceled);
        return {};
    }
    int descriptor() const { return fd_; }

    std::error_code write(const void* data, std::size_t size) {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t written = ::write(fd_, bytes, size);
            if (written < 0) {
                if (errno == EINTR) continue;
                return lastError();
            }
            bytes += written;
            size -= static_cast<std::size_t>(written);
        }
        return {};
    }

    // Flushes the finished file to disk, closes it and keeps it.
    std::error_code close() {
        if (::fsync(fd_) != 0 && errno != EINVAL) return lastError(); // closed and removed by the destructor
        struct stat created {};
        ::fstat(fd_, &created);
        if (::close(std::exchange(fd_, -1)) == 0) return {};
        const auto error = lastError();
        removeIfSame(created);
        return error;
    }

private:
    void closeAndRemove() {
        struct stat created {};
        const bool known = ::fstat(fd_, &created) == 0;
        ::close(std::exchange(fd_, -1));
        if (known) removeIfSame(created);
    }
    void removeIfSame(const struct stat& created) const {
        struct stat named {};
        if (::lstat(path_.c_str(), &named) == 0 && named.st_dev == created.st_dev &&
            named.st_ino == created.st_ino)
            ::unlink(path_.c_str());
    }

    std::filesystem::path path_;
    int fd_ = -1;
};

} // namespace

std::error_code writeNew(const std::filesystem::path& file, std::string_view bytes, const CreationHook& created) {
    NewFile out(file);
    if (auto error = out.create(created)) return error;
    if (auto error = out.write(bytes.data(), bytes.size())) return error;
    return out.close();
}

std::error_code copyNew(const std::filesystem::path& source, const std::filesystem::path& file,
                        const CreationHook& created) {
    // The open's own answer: a mount that died says so, where a cached look at the file would
    // still find it there.
    std::error_code refused;
    const auto in = RegularFile::open(source, kMaximumCopyBytes, refused);
    if (!in) // something that is no regular file has no bytes to copy
        return refused == std::errc::invalid_argument ? std::make_error_code(std::errc::io_error) : refused;
    struct stat info {};
    if (::fstat(in->descriptor(), &info) != 0) return lastError();
    NewFile out(file);
    if (auto error = out.create(created)) return error;
    // The kernel copies in place where it can (and shares the blocks on file systems that allow it);
    // anything it refuses is copied through a buffer.
    bool copied = false;
    for (off_t remaining = info.st_size; remaining > 0;) {
        const ssize_t count = ::copy_file_range(in->descriptor(), nullptr, out.descriptor(), nullptr,
                                                static_cast<std::size_t>(remaining), 0);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) break;
        remaining -= count;
        copied = remaining == 0;
    }
    if (!copied) {
        if (::lseek(in->descriptor(), 0, SEEK_SET) < 0 || ::ftruncate(out.descriptor(), 0) != 0 ||
            ::lseek(out.descriptor(), 0, SEEK_SET) < 0)
            return lastError();
        std::vector<char> buffer(std::size_t{1} << 20);
        for (;;) {
            const ssize_t count = ::read(in->descriptor(), buffer.data(), buffer.size());
            if (count < 0) {
                if (errno == EINTR) continue;
                return lastError();
            }
            if (count == 0) break;
            if (auto error = out.write(buffer.data(), static_cast<std::size_t>(count))) return error;
        }
    }
    const struct timespec times[2] = {info.st_atim, keptTime(info.st_mtim)};
    ::futimens(out.descriptor(), times); // a copy keeps its source's time; failing that is harmless
    return out.close();
}

std::error_code publishNew(const std::filesystem::path& temporaryFile, const std::filesystem::path& finalFile) {
    if (const auto& hook = beforePublishHook()) hook(finalFile);
    if (::renameat2(AT_FDCWD, temporaryFile.c_str(), AT_FDCWD, finalFile.c_str(), RENAME_NOREPLACE) == 0)
        return {};
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return lastError();
    // File systems without an exclusive rename (network shares): a second name, which link refuses
    // to put over an existing file, then the temporary name removed.
    if (::link(temporaryFile.c_str(), finalFile.c_str()) == 0) {
        ::unlink(temporaryFile.c_str());
        return {};
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return lastError();
    // Nor links (some shares): a rename after a look, which only another program saving under the
    // very name within that instant could defeat.
    struct stat existing {};
    if (::lstat(finalFile.c_str(), &existing) == 0) return std::make_error_code(std::errc::file_exists);
    return replace(finalFile, temporaryFile);
}

std::error_code replace(const std::filesystem::path& finalFile, const std::filesystem::path& temporaryFile) {
    if (std::rename(temporaryFile.c_str(), finalFile.c_str()) != 0) return lastError();
    return {};
}

void setCopyTimeStepForTesting(std::int64_t nanoseconds) {
    copyTimeStep() = nanoseconds;
}

void setNameRefusalForTesting(std::function<std::error_code(const std::filesystem::path&)> refusal) {
    nameRefusal() = std::move(refusal);
}

void setBeforePublishHookForTesting(std::function<void(const std::filesystem::path&)> hook) {
    beforePublishHook() = std::move(hook);
}

} // namespace sorvin::OutputFile
