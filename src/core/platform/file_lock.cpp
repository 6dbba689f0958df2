#include "platform/file_lock.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace sorvin {

namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

bool lockWhole(int descriptor) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(descriptor, F_OFD_SETLK, &whole) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    fail("lock file");
}

std::string textOf(int descriptor) {
    std::string text;
    char chunk[256];
    for (off_t offset = 0; text.size() < 4096;) {
        const ssize_t n = ::pread(descriptor, chunk, sizeof chunk, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
        offset += n;
    }
    return text;
}

} // namespace

std::variant<std::unique_ptr<FileLock>, FileLock::HeldBy>
FileLock::tryAcquire(const std::filesystem::path& file, std::string_view holderText, File after) {
    // A holder removes the file before it lets go: whoever opened the file before that and locks
    // it after holds a file no longer named, and opens the name again.
    for (;;) {
        struct Opened {
            int descriptor;
            ~Opened() {
                if (descriptor >= 0) ::close(descriptor);
            }
        } opened{::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644)};
        if (opened.descriptor < 0) fail("open lock file");
        if (!lockWhole(opened.descriptor)) return HeldBy{textOf(opened.descriptor)};
        struct stat locked {};
        struct stat named {};
        if (::fstat(opened.descriptor, &locked) != 0) fail("look at lock file");
        if (::stat(file.c_str(), &named) != 0) {
            if (errno == ENOENT) continue;
            fail("look at lock file");
        }
        if (locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) continue;
        // The holder's name is for messages only: a lock whose name could not be written holds, and
        // one given no name writes none.
        if (!holderText.empty() && ::ftruncate(opened.descriptor, 0) == 0)
            (void)!::pwrite(opened.descriptor, holderText.data(), holderText.size(), 0);
        return std::unique_ptr<FileLock>(new FileLock(after == File::removed ? file : std::filesystem::path(),
                                                      std::exchange(opened.descriptor, -1)));
    }
}

FileLock::~FileLock() {
    if (!file_.empty()) ::unlink(file_.c_str());
    if (descriptor_ >= 0) ::close(descriptor_);
}

} // namespace sorvin
