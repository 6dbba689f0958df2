#pragma once

#include "support/fuse_mount.hpp"
#include "support/test_support.hpp"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace sorvin::test {

// A folder mounted once more through bindfs, whose FUSE process the test holds and can kill: the
// mount then stays where it was but every access to it fails at once with ENOTCONN, as a share or
// a FUSE mount whose connection is lost does. Unmounted at the end. Check skipReason() first: FUSE
// may be missing where the tests run.
class BreakableFuseMount {
public:
    BreakableFuseMount(const std::filesystem::path& folder, const std::filesystem::path& mountPoint)
        : at_(mountPoint) {
        skipReason_ = fuseMissingReason();
        if (!skipReason_.empty()) return;
        std::filesystem::create_directories(mountPoint);
        std::string program = "bindfs", foreground = "-f", private_ = "--no-allow-other";
        std::string from = folder.string(), to = mountPoint.string();
        char* argv[] = {program.data(), foreground.data(), private_.data(), from.data(), to.data(), nullptr};
        if (::posix_spawnp(&daemon_, "bindfs", nullptr, nullptr, argv, environ) != 0) {
            daemon_ = -1;
            skipReason_ = "bindfs could not be started (is it installed? scripts/install-deps brings it)";
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!isMounted()) {
            int status = 0;
            if (::waitpid(daemon_, &status, WNOHANG) == daemon_ ||
                std::chrono::steady_clock::now() > deadline) {
                breakConnection();
                skipReason_ = "bindfs could not mount a folder";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~BreakableFuseMount() {
        breakConnection();
        (void)std::system(("fusermount -u -z '" + at_.string() + "' 2>/dev/null").c_str());
    }
    BreakableFuseMount(const BreakableFuseMount&) = delete;
    BreakableFuseMount& operator=(const BreakableFuseMount&) = delete;

    const std::string& skipReason() const { return skipReason_; }
    const std::filesystem::path& path() const { return at_; }

    // Kills the FUSE process: from now on the mount answers ENOTCONN.
    void breakConnection() { killAndReap(daemon_); }

private:
    bool isMounted() const {
        std::ifstream mounts("/proc/self/mounts");
        for (std::string device, point, rest; mounts >> device >> point && std::getline(mounts, rest);)
            if (point == at_.string()) return true;
        return false;
    }

    std::filesystem::path at_;
    std::string skipReason_;
    pid_t daemon_ = -1;
};

} // namespace sorvin::test
