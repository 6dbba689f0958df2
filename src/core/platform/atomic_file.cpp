#include "platform/atomic_file.hpp"

#include "platform/regular_file.hpp"
#include "platform/sha256.hpp"
#include "platform/uuid_text.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_set>
#include <utility>

namespace sorvin::AtomicFile {

namespace {

std::function<void(const std::filesystem::path&)>& folderFlushHook() {
    static std::function<void(const std::filesystem::path&)> hook;
    return hook;
}

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

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

bool isRunning(pid_t process) {
    return ::kill(process, 0) == 0 || errno != ESRCH;
}

// This system's boot and process-id space, in 12 hexadecimal digits: a process id means one process
// only within both. The host name stands in where the boot cannot be read.
std::string machineTag() {
    std::string identity;
    std::ifstream("/proc/sys/kernel/random/boot_id") >> identity;
    if (identity.empty()) {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        identity = host;
    }
    struct stat space {};
    if (::stat("/proc/self/ns/pid", &space) == 0) {
        identity += '/';
        identity += std::to_string(space.st_ino);
    }
    return Sha256::hex(identity).substr(0, 12);
}

const std::string& thisMachine() {
    static const std::string tag = machineTag();
    return tag;
}

// The writer that a temporary name ends with: a process id, optionally "@" and a machine, then
// the end or "-" and more. Older names carry no machine.
struct Writer {
    pid_t process = 0;
    std::string_view machine;
};

std::optional<Writer> writerIn(std::string_view rest) {
    Writer writer;
    const char* const last = rest.data() + rest.size();
    const auto [end, error] = std::from_chars(rest.data(), last, writer.process);
    if (error != std::errc() || end == rest.data() || writer.process <= 0) return std::nullopt;
    const char* next = end;
    if (next != last && *next == '@') {
        const char* machineEnd = std::find(next + 1, last, '-');
        writer.machine = std::string_view(next + 1, static_cast<std::size_t>(machineEnd - next - 1));
        if (writer.machine.empty()) return std::nullopt;
        next = machineEnd;
    }
    if (next != last && *next != '-') return std::nullopt;
    return writer;
}

// The writer when the name is one of the prefixes followed by a writer.
std::optional<Writer> writerOf(std::string_view entry, std::initializer_list<std::string_view> prefixes) {
    const auto prefix =
        std::ranges::find_if(prefixes, [&](std::string_view p) { return entry.starts_with(p); });
    if (prefix == prefixes.end()) return std::nullopt;
    return writerIn(entry.substr(prefix->size()));
}

bool isAbandoned(const Writer& writer, const struct stat& info) {
    // This process writes no name without a machine: such a name with our id is an older
    // version's whose process id came round again.
    if (writer.machine.empty()) return writer.process == ::getpid() || !isRunning(writer.process);
    if (writer.machine == thisMachine()) return writer.process != ::getpid() && !isRunning(writer.process);
    const auto untouched =
        std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(info.st_mtime);
    return untouched >= kForeignTemporaryLifetime;
}

// Removes the abandoned entries of the folder whose name gives a writer: only regular files (or
// only folders with their contents).
template <class WriterOf>
void removeAbandoned(const std::filesystem::path& folder, Leftover kind, const WriterOf& writerOfEntry) {
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!directory) return;
    while (const dirent* entry = ::readdir(directory)) {
        const std::optional<Writer> writer = writerOfEntry(std::string_view(entry->d_name));
        if (!writer) continue;
        struct stat info {};
        if (::fstatat(::dirfd(directory), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!isAbandoned(*writer, info)) continue;
        if (kind == Leftover::file && S_ISREG(info.st_mode)) {
            ::unlinkat(::dirfd(directory), entry->d_name, 0);
        } else if (kind == Leftover::folder && S_ISDIR(info.st_mode)) {
            std::error_code ignored;
            std::filesystem::remove_all(folder / entry->d_name, ignored);
        }
    }
    ::closedir(directory);
}

// Removes the fixed-name temporary of this very process: a write of ours that could not clean up.
void removeOwnLeftover(const std::filesystem::path& file) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(file.c_str());
}

// Whether this is the first write of the target in this run. The leftovers of ended processes are
// looked for then, once: listing a folder of 50,000 photos at every save of its record took the
// main thread about 20 ms.
bool firstWriteOf(const std::filesystem::path& target) {
    static std::mutex mutex;
    static std::unordered_set<std::string> written;
    const std::lock_guard lock(mutex);
    return written.insert(target.string()).second;
}

} // namespace

std::string writerTag() {
    return std::to_string(::getpid()) + "@" + thisMachine();
}

void removeAbandonedWithPrefixes(const std::filesystem::path& folder,
                                 std::initializer_list<std::string_view> prefixes, Leftover kind) {
    removeAbandoned(folder, kind, [&](std::string_view entry) { return writerOf(entry, prefixes); });
}

void removeAbandonedHidden(const std::filesystem::path& folder, std::string_view marker) {
    removeAbandoned(folder, Leftover::file, [&](std::string_view entry) -> std::optional<Writer> {
        // The last marker: the name before it may hold one too.
        const auto at = entry.rfind(marker);
        if (!entry.starts_with('.') || at == std::string_view::npos || at < 2) return std::nullopt;
        return writerIn(entry.substr(at + marker.size()));
    });
}

std::error_code flushFolder(const std::filesystem::path& folder) {
    if (const auto& hook = folderFlushHook()) hook(folder);
    Descriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) return {errno, std::generic_category()};
    // Some file systems cannot flush a folder at all; there is nothing more to do on them.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        return {errno, std::generic_category()};
    return {};
}

void setFolderFlushHookForTesting(std::function<void(const std::filesystem::path&)> hook) {
    folderFlushHook() = std::move(hook);
}

namespace {

// How a folder's file system gives a file a name only where none has it, in the order tried.
enum class Placing { noReplacingRename, link, neither };

// What the answers of each folder's file system taught, by device and folder: a way it refused is
// not tried there again, so that between moving a record aside and placing the new one only the
// calls that place it are made. What a test refuses is not learnt.
class PlacingWays {
public:
    static PlacingWays& shared() {
        static PlacingWays ways;
        return ways;
    }
    Placing of(dev_t device, const std::string& folder) {
        const std::lock_guard lock(mutex_);
        const auto found = learnt_.find({device, folder});
        return found == learnt_.end() ? Placing::noReplacingRename : found->second;
    }
    void refused(dev_t device, const std::string& folder, Placing next) {
        const std::lock_guard lock(mutex_);
        Placing& way = learnt_.try_emplace({device, folder}, Placing::noReplacingRename).first->second;
        way = std::max(way, next);
    }

private:
    std::mutex mutex_;
    std::map<std::pair<dev_t, std::string>, Placing> learnt_;
};

// The target's folder, on the device of the file written: its names are asked of the system
// relative to it, so that a share whose every call is slow is asked only about them, not each
// time again about every folder on the way to them.
class Folder {
public:
    explicit Folder(const std::filesystem::path& target)
        : path_(target.parent_path()),
          descriptor_(::open(path_.empty() ? "." : path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
          known_(knownPath()) {}
    int descriptor() const { return descriptor_.get() >= 0 ? descriptor_.get() : AT_FDCWD; }
    // The name to give with descriptor(): the file's own where it lies in the folder, otherwise
    // its whole path.
    std::string name(const std::filesystem::path& path) const {
        if (descriptor_.get() >= 0 && path.parent_path() == path_) return path.filename().string();
        return std::filesystem::absolute(path).string();
    }
    // The device of the files written in it, once one is.
    void setDevice(dev_t device) { device_ = device; }
    Placing placing() const { return PlacingWays::shared().of(device_, known_); }
    void refused(Placing next) const { PlacingWays::shared().refused(device_, known_, next); }
    // The folder's path as the system knows it, links resolved: one for each folder, also where it
    // was given as a handle of another (/proc/self/fd/N), whose number a later folder may take.
    const std::string& known() const { return known_; }

private:
    std::string knownPath() const {
        std::error_code error;
        if (descriptor_.get() >= 0) {
            auto resolved =
                std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(descriptor_.get()), error);
            if (!error) return resolved.string();
        }
        return std::filesystem::absolute(path_, error).string();
    }

    std::filesystem::path path_;
    dev_t device_ = 0;
    Descriptor descriptor_;
    std::string known_;
};

// A temporary beside the target holding the bytes, flushed to disk.
struct Temporary {
    std::string path;
    struct stat made {};
};

Temporary writeTemporary(Folder& folder, const std::filesystem::path& target, std::string_view bytes,
                         TemporaryName naming) {
    const std::string name = target.filename().string();
    const std::string writer = writerTag();
    const std::string fixedName = name + ".tmp-" + writer;
    if (firstWriteOf(std::filesystem::path(folder.known()) / name))
        removeAbandonedWithPrefixes(target.parent_path(), {name + ".tmp-", "." + name + ".tmp-"});
    // A hidden name is new at every write: only the fixed one can be in the way.
    if (naming == TemporaryName::perProcess) removeOwnLeftover(target.parent_path() / fixedName);
    const std::string temporaryName = naming == TemporaryName::perProcess
                                          ? fixedName
                                          : "." + name + ".tmp-" + writer + "-" + UuidText::random();
    Temporary temporary{(target.parent_path() / temporaryName).string(), {}};
    Descriptor fd(::openat(folder.descriptor(), folder.name(temporary.path).c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) fail("create temporary file");
    try {
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
        if (::fstat(fd.get(), &temporary.made) != 0) fail("look at temporary file");
        if (::close(fd.release()) != 0) fail("close temporary file");
    } catch (...) {
        ::unlinkat(folder.descriptor(), folder.name(temporary.path).c_str(), 0);
        throw;
    }
    folder.setDevice(temporary.made.st_dev);
    return temporary;
}

// The version of the file written, once its name is given: a share may give the file another time
// once closed, and what the name shows now counts while it is still the file written. None when
// the name holds another file already.
std::optional<FileVersion> namedVersion(const std::filesystem::path& target, const struct stat& made) {
    if (const std::error_code error = flushFolder(target.parent_path()))
        throw std::system_error(error, "flush folder");
    struct stat named {};
    if (::stat(target.c_str(), &named) != 0) return FileVersion::of(made);
    if (named.st_dev == made.st_dev && named.st_ino == made.st_ino) return FileVersion::of(named);
    return std::nullopt;
}

// What a file system that cannot exchange two names answers.
bool cannotExchange(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

// What a file system that makes no hard links answers: FAT and exFAT through their FUSE drivers
// answer EROFS or EACCES while they rename, some shares EPERM.
bool cannotLink(int error) {
    return error == EPERM || error == EMLINK || error == EROFS || error == EACCES || cannotExchange(error);
}

std::atomic<bool> exchangeRefused{false};
std::atomic<bool> noReplacingRefused{false};
std::atomic<int> linkRefusal{0};

std::function<void(ReplaceStep)>& replaceStepHook() {
    static std::function<void(ReplaceStep)> hook;
    return hook;
}

// A copy: the hook may end itself.
void reachStep(ReplaceStep step) {
    if (const auto hook = replaceStepHook()) hook(step);
}

// renameat2 with a flag, or EINVAL where a test makes the file system refuse it.
int renameWith(const Folder& folder, const std::string& from, const std::string& to, unsigned int flag) {
    const bool refused = flag == RENAME_EXCHANGE ? exchangeRefused.load(std::memory_order_relaxed)
                                                 : noReplacingRefused.load(std::memory_order_relaxed);
    if (refused) {
        errno = EINVAL;
        return -1;
    }
    return ::renameat2(folder.descriptor(), from.c_str(), folder.descriptor(), to.c_str(), flag);
}

// Gives the file the target's name only where no file has it: a rename that never replaces, or
// where the file system refuses one, a hard link (shares that cannot rename so can often link).
// 0 when given, EEXIST when another file has the name, ENOTSUP when the file system can do
// neither, or the system's error.
int placeWithoutReplacing(const Folder& folder, const std::string& file, const std::string& target) {
    const Placing way = folder.placing();
    if (way == Placing::noReplacingRename) {
        if (renameWith(folder, file, target, RENAME_NOREPLACE) == 0) return 0;
        if (!cannotExchange(errno)) return errno;
        if (!noReplacingRefused.load(std::memory_order_relaxed)) folder.refused(Placing::link);
    }
    if (way <= Placing::link) {
        const int refusal = linkRefusal.load(std::memory_order_relaxed);
        if (refusal == 0 && ::linkat(folder.descriptor(), file.c_str(), folder.descriptor(), target.c_str(), 0) == 0) {
            ::unlinkat(folder.descriptor(), file.c_str(), 0);
            return 0;
        }
        const int error = refusal != 0 ? refusal : errno;
        if (!cannotLink(error)) return error;
        if (refusal == 0) folder.refused(Placing::neither);
    }
    return ENOTSUP;
}

// As placeWithoutReplacing, and where the file system can do neither, a plain rename made only
// where the name is free right before (blind).
int placeWhereFree(const Folder& folder, const std::string& file, const std::string& target, bool& blind) {
    const int placed = placeWithoutReplacing(folder, file, target);
    if (placed != ENOTSUP) return placed;
    struct stat there {};
    if (::fstatat(folder.descriptor(), target.c_str(), &there, 0) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    blind = true;
    return ::renameat(folder.descriptor(), file.c_str(), folder.descriptor(), target.c_str()) == 0 ? 0 : errno;
}

} // namespace

FileVersion write(const std::filesystem::path& target, std::string_view bytes, TemporaryName naming,
                  FolderFlush flush) {
    Folder folder(target);
    const Temporary temporary = writeTemporary(folder, target, bytes, naming);
    const std::string temporaryName = folder.name(temporary.path);
    if (::renameat(folder.descriptor(), temporaryName.c_str(), folder.descriptor(),
                   folder.name(target).c_str()) != 0) {
        const int error = errno;
        ::unlinkat(folder.descriptor(), temporaryName.c_str(), 0);
        throw std::system_error(error, std::generic_category(), "replace file");
    }
    if (flush == FolderFlush::flushed)
        if (const std::error_code error = flushFolder(target.parent_path()))
            throw std::system_error(error, "flush folder");
    return FileVersion::of(temporary.made);
}

// Whether the file at the path is the one expected. Where its bytes are known they decide, whatever
// time the file shows: a share may give a file another time once it was closed, and this write's
// own last file is then no other writer's.
static bool isExpected(const std::filesystem::path& path, const struct stat& info, const Expected& expected) {
    if (!expected.version) return false;
    if (expected.sha256.empty()) return FileVersion::of(info) == *expected.version;
    if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != expected.version->size) return false;
    try {
        return Sha256::hex(read(path, static_cast<std::size_t>(info.st_size))) == expected.sha256;
    } catch (const std::system_error&) {
        return false;
    }
}

namespace {

// Without an exchange: the file at the target is moved aside first, so that this write knows for
// certain which file it takes the name from, and the new file then takes the name only where none
// has it. A file another writer put there meanwhile is never renamed over: this write gives way.
// What was moved aside is dropped when it is the file expected; otherwise the caller reads it.
// Between moving aside and placing, only the calls that place the new file are made: the file
// system's answers that tell how it places one are had before (at the first replacement in the
// folder), and each name is asked of it relative to the folder.
Replacement replaceMovingAside(const std::filesystem::path& target, const Temporary& temporary,
                               const Expected& expected, const Folder& folder) {
    const std::filesystem::path& aside = *expected.aside;
    const std::string targetName = folder.name(target), asideName = folder.name(aside),
                      temporaryName = folder.name(temporary.path);
    const auto dropTemporary = [&] {
        ::unlinkat(folder.descriptor(), folder.name(temporary.path).c_str(), 0);
    };
    reachStep(ReplaceStep::movingAside);
    if (::renameat(folder.descriptor(), targetName.c_str(), folder.descriptor(), asideName.c_str()) != 0) {
        const int error = errno;
        dropTemporary();
        // The file expected went away meanwhile: it is looked for again.
        if (error == ENOENT) return {std::nullopt, target};
        throw std::system_error(error, std::generic_category(), "move file aside");
    }
    Replacement replacement;
    reachStep(ReplaceStep::naming);
    const auto started = std::chrono::steady_clock::now();
    const int placed = placeWhereFree(folder, temporaryName, targetName, replacement.blind);
    replacement.renaming = std::chrono::steady_clock::now() - started;
    if (placed != 0 && placed != EEXIST) {
        // The name is free still: what stood there goes back (or stays aside, where the next
        // opening finds it).
        bool ignored = false;
        placeWhereFree(folder, asideName, targetName, ignored);
        dropTemporary();
        throw std::system_error(placed, std::generic_category(), "replace file");
    }
    // Another opening may have taken in what was moved aside already.
    struct stat out {};
    const bool movedOut = ::stat(aside.c_str(), &out) == 0 || errno != ENOENT;
    const bool theOneExpected = movedOut && isExpected(aside, out, expected);
    if (theOneExpected) ::unlink(aside.c_str());
    const std::optional<std::filesystem::path> unexpectedOut =
        movedOut && !theOneExpected ? std::optional(aside) : std::nullopt;
    if (placed == EEXIST) {
        dropTemporary();
        replacement.unexpected = unexpectedOut.value_or(target);
        return replacement;
    }
    replacement.written = namedVersion(target, temporary.made);
    replacement.unexpected = replacement.written ? unexpectedOut : unexpectedOut.value_or(target);
    return replacement;
}

} // namespace

Replacement replace(const std::filesystem::path& target, std::string_view bytes, TemporaryName naming,
                    const Expected& expected) {
    Folder folder(target);
    const Temporary temporary = writeTemporary(folder, target, bytes, naming);
    const auto dropTemporary = [&] {
        ::unlinkat(folder.descriptor(), folder.name(temporary.path).c_str(), 0);
    };
    const auto failWith = [&](int error, const char* what) {
        dropTemporary();
        throw std::system_error(error, std::generic_category(), what);
    };
    if (expected.version) {
        if (renameWith(folder, folder.name(temporary.path), folder.name(target), RENAME_EXCHANGE) == 0) {
            // The temporary's name holds what stood at the target.
            struct stat out {};
            const bool looked = ::stat(temporary.path.c_str(), &out) == 0;
            // Another writer may have taken the name already: the file written is this one all the same.
            const FileVersion written =
                namedVersion(target, temporary.made).value_or(FileVersion::of(temporary.made));
            if (looked && isExpected(temporary.path, out, expected)) {
                dropTemporary();
                return {written, std::nullopt};
            }
            return {written, std::filesystem::path(temporary.path)};
        }
        // Whatever else went wrong, the target did not change: it was not the file expected, or the
        // file system cannot exchange names.
        // ENOENT: the file expected went away meanwhile, and is looked for again.
        if (errno == ENOENT) {
            dropTemporary();
            return {std::nullopt, target};
        }
        if (!cannotExchange(errno)) failWith(errno, "replace file");
        if (expected.aside) return replaceMovingAside(target, temporary, expected, folder);
    } else {
        const int placed = placeWithoutReplacing(folder, folder.name(temporary.path), folder.name(target));
        if (placed == 0)
            return {namedVersion(target, temporary.made).value_or(FileVersion::of(temporary.made)), std::nullopt};
        if (placed == EEXIST) {
            dropTemporary();
            return {std::nullopt, target};
        }
        if (placed != ENOTSUP) failWith(placed, "replace file");
    }
    // Checked right before the rename (the version looked at once more after the bytes were read,
    // so that the gap is a moment), and looked at again after it. A rename of another writer
    // within the gap is written over: the caller looks again later (blind).
    bool unchanged = false;
    reachStep(ReplaceStep::movingAside);
    try {
        struct stat now {};
        if (::stat(target.c_str(), &now) == 0) {
            struct stat again {};
            unchanged = isExpected(target, now, expected) && ::stat(target.c_str(), &again) == 0 &&
                        FileVersion::of(again) == FileVersion::of(now);
        } else if (errno == ENOENT) {
            unchanged = !expected.version;
        } else {
            fail("look at file");
        }
    } catch (...) {
        dropTemporary();
        throw;
    }
    if (!unchanged) {
        dropTemporary();
        return {std::nullopt, target};
    }
    reachStep(ReplaceStep::naming);
    const auto started = std::chrono::steady_clock::now();
    if (::rename(temporary.path.c_str(), target.c_str()) != 0) failWith(errno, "replace file");
    const auto renaming = std::chrono::steady_clock::now() - started;
    const std::optional<FileVersion> written = namedVersion(target, temporary.made);
    if (!written) return {std::nullopt, target};
    return {written, std::nullopt, true, renaming};
}

void setReplaceStepHookForTesting(std::function<void(ReplaceStep)> hook) {
    replaceStepHook() = std::move(hook);
}

void setRefusedForTesting(const RefusedForTesting& refused) {
    exchangeRefused.store(refused.exchange, std::memory_order_relaxed);
    noReplacingRefused.store(refused.noReplacing, std::memory_order_relaxed);
    linkRefusal.store(refused.link, std::memory_order_relaxed);
}

void setExchangeRefusalForTesting(bool refused, bool noReplacing) {
    setRefusedForTesting({refused, refused && noReplacing, refused && noReplacing ? EPERM : 0});
}

std::string read(const std::filesystem::path& path, std::size_t maxBytes, FileVersion* version) {
    std::error_code refused;
    const auto file = RegularFile::open(path, maxBytes, refused);
    if (!file) throw std::system_error(refused, "open file");
    if (version) {
        struct stat info {};
        if (::fstat(file->descriptor(), &info) != 0) fail("look at file");
        *version = FileVersion::of(info);
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(file->descriptor(), chunk, sizeof chunk);
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
