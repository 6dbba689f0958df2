#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace sorvin::test {

// Why no FUSE mount can be made here, or nothing when one can.
inline std::string fuseMissingReason() {
    if (::access("/dev/fuse", R_OK | W_OK) == 0) return {};
    return "/dev/fuse is missing or not usable here, so no FUSE mount can be made";
}

// Whether something is mounted at the path, as the mount table spells it.
inline bool isMountPoint(const std::filesystem::path& path) {
    std::ifstream mounts("/proc/self/mounts");
    for (std::string device, point, rest; mounts >> device >> point && std::getline(mounts, rest);)
        if (point == path.string()) return true;
    return false;
}

// A folder mounted once more through bindfs, a FUSE file system: the same files under another
// device and other inode numbers, as sshfs or a network share mounted twice show them. Unmounted
// at the end. Check skipReason() first: FUSE may be missing where the tests run. Options go to
// bindfs as they are ("-r": read-only, as a card or a share mounted so).
class FuseMirror {
public:
    FuseMirror(const std::filesystem::path& folder, const std::filesystem::path& mountPoint,
               const std::string& options = {})
        : at_(mountPoint) {
        skipReason_ = fuseMissingReason();
        if (!skipReason_.empty()) return;
        std::filesystem::create_directories(mountPoint);
        const std::string command = "bindfs --no-allow-other -o nonempty " + options + " '" +
                                    folder.string() + "' '" + mountPoint.string() + "' 2>&1";
        if (std::system(command.c_str()) != 0) {
            skipReason_ = "bindfs could not mount a folder (is it installed? scripts/install-deps brings it)";
            return;
        }
        mounted_ = true;
    }
    ~FuseMirror() {
        if (mounted_)
            (void)std::system(
                ("fusermount -u -z '" + at_.string() + "' 2>/dev/null || umount -l '" + at_.string() + "'")
                    .c_str());
    }
    FuseMirror(const FuseMirror&) = delete;
    FuseMirror& operator=(const FuseMirror&) = delete;

    const std::string& skipReason() const { return skipReason_; }
    const std::filesystem::path& path() const { return at_; }

private:
    std::filesystem::path at_;
    std::string skipReason_;
    bool mounted_ = false;
};

} // namespace sorvin::test
