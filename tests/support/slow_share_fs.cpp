// A folder shown again through FUSE, as a share shows it, whose every call can be made to take a
// while or to wait until let go: a cloud drive, a NAS over a slow link, a server gone away.
//
//     sorvin_slow_share SOURCE MOUNTPOINT CONTROL
//
// Runs in the foreground until unmounted or killed. CONTROL is a file read before every call, of
// lines `key=value`:
//     delay_ms=N     every call answers N ms late (0 when absent)
//     stopped=1      every call waits until this line says 0 again (or goes)
//     link_error=N   link() answers errno N without linking (0: links are made)
//     log=PATH       every call appends "<op> <path> <thread>" to PATH, the thread being the
//                    caller's (its id as gettid gives it)
// The kernel caches nothing (attributes, entries and pages), so that every call of a program
// reaches this file system. Renames with flags (exchange, no replacing) are refused with EINVAL by
// the kernel, as many shares refuse them.

#define FUSE_USE_VERSION 26

#include <fuse.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

std::string source;
std::string control;
std::mutex logMutex;

struct Settings {
    long delayMs = 0;
    bool stopped = false;
    int linkError = 0;
    std::string log;
};

Settings readSettings() {
    Settings settings;
    std::ifstream in(control);
    for (std::string line; std::getline(in, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "delay_ms") settings.delayMs = std::strtol(value.c_str(), nullptr, 10);
        else if (key == "stopped") settings.stopped = value == "1";
        else if (key == "link_error") settings.linkError = static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
        else if (key == "log") settings.log = value;
    }
    return settings;
}

// Holds the call as the share would, and gives what the call is to follow.
Settings gate(const char* op, const char* path) {
    Settings settings = readSettings();
    while (settings.stopped) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        settings = readSettings();
    }
    if (settings.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(settings.delayMs));
    if (!settings.log.empty()) {
        const std::lock_guard lock(logMutex);
        if (FILE* log = std::fopen(settings.log.c_str(), "a")) {
            std::fprintf(log, "%s %s %d\n", op, path, static_cast<int>(fuse_get_context()->pid));
            std::fclose(log);
        }
    }
    return settings;
}

std::string real(const char* path) {
    return source + path;
}

int answer(int result) {
    return result < 0 ? -errno : result;
}

int doGetattr(const char* path, struct stat* info) {
    gate("getattr", path);
    return answer(::lstat(real(path).c_str(), info));
}

int doFgetattr(const char* path, struct stat* info, fuse_file_info* file) {
    gate("fgetattr", path);
    return answer(::fstat(static_cast<int>(file->fh), info));
}

int doAccess(const char* path, int mode) {
    gate("access", path);
    return answer(::access(real(path).c_str(), mode));
}

int doReadlink(const char* path, char* buffer, size_t size) {
    gate("readlink", path);
    const ssize_t length = ::readlink(real(path).c_str(), buffer, size - 1);
    if (length < 0) return -errno;
    buffer[length] = '\0';
    return 0;
}

int doOpendir(const char* path, fuse_file_info* file) {
    gate("opendir", path);
    DIR* directory = ::opendir(real(path).c_str());
    if (!directory) return -errno;
    file->fh = reinterpret_cast<uintptr_t>(directory);
    return 0;
}

int doReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info* file) {
    gate("readdir", path);
    DIR* directory = reinterpret_cast<DIR*>(file->fh);
    ::rewinddir(directory);
    while (const dirent* entry = ::readdir(directory)) {
        struct stat info {};
        info.st_ino = entry->d_ino;
        info.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        if (fill(buffer, entry->d_name, &info, 0) != 0) break;
    }
    return 0;
}

int doReleasedir(const char* path, fuse_file_info* file) {
    gate("releasedir", path);
    ::closedir(reinterpret_cast<DIR*>(file->fh));
    return 0;
}

int doFsyncdir(const char* path, int, fuse_file_info* file) {
    gate("fsyncdir", path);
    return answer(::fsync(::dirfd(reinterpret_cast<DIR*>(file->fh))));
}

int doMknod(const char* path, mode_t mode, dev_t device) {
    gate("mknod", path);
    return answer(::mknod(real(path).c_str(), mode, device));
}

int doMkdir(const char* path, mode_t mode) {
    gate("mkdir", path);
    return answer(::mkdir(real(path).c_str(), mode));
}

int doUnlink(const char* path) {
    gate("unlink", path);
    return answer(::unlink(real(path).c_str()));
}

int doRmdir(const char* path) {
    gate("rmdir", path);
    return answer(::rmdir(real(path).c_str()));
}

int doSymlink(const char* target, const char* path) {
    gate("symlink", path);
    return answer(::symlink(target, real(path).c_str()));
}

int doRename(const char* from, const char* to) {
    gate("rename", from);
    return answer(::rename(real(from).c_str(), real(to).c_str()));
}

int doLink(const char* from, const char* to) {
    const Settings settings = gate("link", from);
    if (settings.linkError != 0) return -settings.linkError;
    return answer(::link(real(from).c_str(), real(to).c_str()));
}

int doChmod(const char* path, mode_t mode) {
    gate("chmod", path);
    return answer(::chmod(real(path).c_str(), mode));
}

int doChown(const char* path, uid_t user, gid_t group) {
    gate("chown", path);
    return answer(::lchown(real(path).c_str(), user, group));
}

int doTruncate(const char* path, off_t size) {
    gate("truncate", path);
    return answer(::truncate(real(path).c_str(), size));
}

int doFtruncate(const char* path, off_t size, fuse_file_info* file) {
    gate("ftruncate", path);
    return answer(::ftruncate(static_cast<int>(file->fh), size));
}

int doUtimens(const char* path, const struct timespec times[2]) {
    gate("utimens", path);
    return answer(::utimensat(AT_FDCWD, real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int doCreate(const char* path, mode_t mode, fuse_file_info* file) {
    gate("create", path);
    const int fd = ::open(real(path).c_str(), file->flags, mode);
    if (fd < 0) return -errno;
    file->fh = static_cast<uint64_t>(fd);
    return 0;
}

int doOpen(const char* path, fuse_file_info* file) {
    gate("open", path);
    const int fd = ::open(real(path).c_str(), file->flags);
    if (fd < 0) return -errno;
    file->fh = static_cast<uint64_t>(fd);
    return 0;
}

int doRead(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* file) {
    gate("read", path);
    const ssize_t n = ::pread(static_cast<int>(file->fh), buffer, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int doWrite(const char* path, const char* buffer, size_t size, off_t offset, fuse_file_info* file) {
    gate("write", path);
    const ssize_t n = ::pwrite(static_cast<int>(file->fh), buffer, size, offset);
    return n < 0 ? -errno : static_cast<int>(n);
}

int doStatfs(const char* path, struct statvfs* info) {
    gate("statfs", path);
    return answer(::statvfs(real(path).c_str(), info));
}

int doFlush(const char* path, fuse_file_info*) {
    gate("flush", path);
    return 0;
}

int doRelease(const char* path, fuse_file_info* file) {
    gate("release", path);
    ::close(static_cast<int>(file->fh));
    return 0;
}

int doFsync(const char* path, int dataOnly, fuse_file_info* file) {
    gate("fsync", path);
    const int fd = static_cast<int>(file->fh);
    return answer(dataOnly ? ::fdatasync(fd) : ::fsync(fd));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s SOURCE MOUNTPOINT CONTROL\n", argv[0]);
        return 2;
    }
    char* resolved = ::realpath(argv[1], nullptr);
    if (!resolved) {
        std::perror(argv[1]);
        return 2;
    }
    source = resolved;
    std::free(resolved);
    if (source == "/") source.clear();
    control = argv[3];

    fuse_operations operations{};
    operations.getattr = doGetattr;
    operations.fgetattr = doFgetattr;
    operations.access = doAccess;
    operations.readlink = doReadlink;
    operations.opendir = doOpendir;
    operations.readdir = doReaddir;
    operations.releasedir = doReleasedir;
    operations.fsyncdir = doFsyncdir;
    operations.mknod = doMknod;
    operations.mkdir = doMkdir;
    operations.unlink = doUnlink;
    operations.rmdir = doRmdir;
    operations.symlink = doSymlink;
    operations.rename = doRename;
    operations.link = doLink;
    operations.chmod = doChmod;
    operations.chown = doChown;
    operations.truncate = doTruncate;
    operations.ftruncate = doFtruncate;
    operations.utimens = doUtimens;
    operations.create = doCreate;
    operations.open = doOpen;
    operations.read = doRead;
    operations.write = doWrite;
    operations.statfs = doStatfs;
    operations.flush = doFlush;
    operations.release = doRelease;
    operations.fsync = doFsync;
    operations.flag_nullpath_ok = 0;

    std::string program = argv[0], foreground = "-f", options = "-o",
                settings = "use_ino,attr_timeout=0,entry_timeout=0,negative_timeout=0,direct_io,"
                           "default_permissions,fsname=slowshare,subtype=slowshare";
    std::string mountPoint = argv[2];
    char* fuseArguments[] = {program.data(), foreground.data(), options.data(), settings.data(),
                             mountPoint.data(), nullptr};
    return fuse_main(5, fuseArguments, &operations, nullptr);
}
