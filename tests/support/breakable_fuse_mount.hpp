#pragma once

#include "support/fuse_mount.hpp"
#include "support/test_support.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
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
        while (!isMountPoint(at_)) {
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
        resume();
        breakConnection();
        (void)std::system(("fusermount -u -z '" + at_.string() + "' 2>/dev/null").c_str());
    }
    BreakableFuseMount(const BreakableFuseMount&) = delete;
    BreakableFuseMount& operator=(const BreakableFuseMount&) = delete;

    const std::string& skipReason() const { return skipReason_; }
    const std::filesystem::path& path() const { return at_; }

    // Kills the FUSE process: from now on the mount answers ENOTCONN.
    void breakConnection() { killAndReap(daemon_); }

    // Stops the FUSE process, as a share stops answering: every access to the mount waits until
    // resume(). That comes by itself after `atMost`, so that a program that waits on the mount
    // makes its test fail late instead of hanging it.
    void stall(std::chrono::seconds atMost) {
        resume();
        if (daemon_ <= 0) return;
        ::kill(daemon_, SIGSTOP);
        stalled_ = true;
        watchdog_ = std::thread([this, atMost] {
            std::unique_lock lock(mutex_);
            if (!wake_.wait_for(lock, atMost, [this] { return !stalled_; })) {
                resumedByWatchdog_ = true;
                stalled_ = false;
                ::kill(daemon_, SIGCONT);
            }
        });
    }
    // Makes the mount answer late, as a share that wakes for each call: the FUSE process is
    // stopped for `pause`, let run for a moment, and stopped again, until resume().
    void answerLate(std::chrono::milliseconds pause) {
        resume();
        if (daemon_ <= 0) return;
        stalled_ = true;
        watchdog_ = std::thread([this, pause] {
            std::unique_lock lock(mutex_);
            while (stalled_) {
                ::kill(daemon_, SIGSTOP);
                wake_.wait_for(lock, pause, [this] { return !stalled_; });
                ::kill(daemon_, SIGCONT);
                if (stalled_) wake_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !stalled_; });
            }
        });
    }
    void resume() {
        {
            const std::lock_guard lock(mutex_);
            if (stalled_) ::kill(daemon_, SIGCONT);
            stalled_ = false;
        }
        wake_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
    }
    // Whether a stall had to end by itself: something waited on the mount all that time.
    bool resumedByWatchdog() const { return resumedByWatchdog_; }

private:
    std::filesystem::path at_;
    std::string skipReason_;
    pid_t daemon_ = -1;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stalled_ = false;
    std::atomic<bool> resumedByWatchdog_ = false;
    std::thread watchdog_;
};

} // namespace sorvin::test
