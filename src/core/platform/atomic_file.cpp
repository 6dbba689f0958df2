#include "platform/atomic_file.hpp"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace sorvin::AtomicFile {

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

mode_t currentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

void write(const std::filesystem::path& target, std::string_view bytes) {
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    Descriptor fd(::mkstemp(pattern.data()));
    if (fd.get() < 0) fail("create temporary file");
    const std::string temporary = pattern;
    try {
        if (::fchmod(fd.get(), 0666 & ~currentUmask()) != 0) fail("set file mode");
        std::size_t written = 0;
        while (written < bytes.size()) {
            ssize_t n = ::write(fd.get(), bytes.data() + written, bytes.size() - written);
            if (n < 0) {
                if (errno == EINTR) continue;
                fail("write temporary file");
            }
            written += static_cast<std::size_t>(n);
        }
        if (::fsync(fd.get()) != 0) fail("flush temporary file");
        if (::close(fd.release()) != 0) fail("close temporary file");
        if (::rename(temporary.c_str(), target.c_str()) != 0) fail("replace file");
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

std::string read(const std::filesystem::path& path, std::size_t maxBytes) {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) fail("open file");
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) fail("inspect file");
    if (!S_ISREG(info.st_mode)) throw std::system_error(std::make_error_code(std::errc::invalid_argument), "not a file");
    if (static_cast<std::size_t>(info.st_size) > maxBytes)
        throw std::system_error(std::make_error_code(std::errc::file_too_large), "file too large");
    std::string bytes;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("read file");
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            throw std::system_error(std::make_error_code(std::errc::file_too_large), "file too large");
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
}

} // namespace sorvin::AtomicFile
