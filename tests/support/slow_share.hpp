#pragma once

#include "support/fuse_mount.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sorvin::test {

// A folder shown again at a mount point through a FUSE pass-through of our own
// (tests/support/slow_share_fs.cpp), as a share shows it: every call can be made to answer late (a
// cloud drive, a NAS over a slow link) or to wait until let go (a server gone away), and link() can
// be refused. Renames with flags (exchange, no replacing) answer EINVAL, as on many shares. The
// kernel caches nothing, so every call of the program reaches the share. Check skipReason() first:
// FUSE may be missing where the tests run. Unmounted at the end, after letting every call go.
class SlowShare {
public:
    SlowShare(const std::filesystem::path& source, const std::filesystem::path& mountPoint) : at_(mountPoint) {
        skipReason_ = fuseMissingReason();
        if (!skipReason_.empty()) return;
        std::filesystem::create_directories(source);
        std::filesystem::create_directories(mountPoint);
        char pattern[] = "/tmp/sorvin-slow-share-XXXXXX";
        if (!::mkdtemp(pattern)) {
            skipReason_ = "no folder for the share's control file";
            return;
        }
        controlFolder_ = pattern;
        writeControl();
        std::string program = SORVIN_SLOW_SHARE_PROGRAM;
        std::string from = source.string(), to = mountPoint.string(), control = controlFile().string();
        char* argv[] = {program.data(), from.data(), to.data(), control.data(), nullptr};
        if (::posix_spawn(&daemon_, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            daemon_ = -1;
            skipReason_ = "the slow share's program could not be started";
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!isMountPoint(at_)) {
            int status = 0;
            if (::waitpid(daemon_, &status, WNOHANG) == daemon_ || std::chrono::steady_clock::now() > deadline) {
                if (daemon_ > 0 && ::waitpid(daemon_, &status, WNOHANG) == 0) {
                    ::kill(daemon_, SIGKILL);
                    ::waitpid(daemon_, &status, 0);
                }
                daemon_ = -1;
                skipReason_ = "the slow share could not mount a folder";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~SlowShare() {
        resume();
        answerEachAfter(std::chrono::milliseconds(0));
        if (daemon_ > 0) {
            (void)std::system(("fusermount -u -z '" + at_.string() + "' 2>/dev/null").c_str());
            ::kill(daemon_, SIGTERM);
            int status = 0;
            ::waitpid(daemon_, &status, 0);
        }
        if (!controlFolder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(controlFolder_, ignored);
        }
    }
    SlowShare(const SlowShare&) = delete;
    SlowShare& operator=(const SlowShare&) = delete;

    const std::string& skipReason() const { return skipReason_; }
    const std::filesystem::path& path() const { return at_; }

    // Every call from now on answers this late.
    void answerEachAfter(std::chrono::milliseconds delay) {
        const std::lock_guard lock(mutex_);
        delay_ = delay;
        writeControlLocked();
    }

    // Every call from now on waits until resume(). That comes by itself after `atMost`, so that a
    // program that waits on the share makes its test fail late instead of hanging it.
    void stop(std::chrono::seconds atMost = std::chrono::seconds(60)) {
        resume();
        {
            const std::lock_guard lock(mutex_);
            stopped_ = true;
            writeControlLocked();
        }
        watchdog_ = std::thread([this, atMost] {
            std::unique_lock lock(mutex_);
            if (!wake_.wait_for(lock, atMost, [this] { return !stopped_; })) {
                resumedByWatchdog_ = true;
                stopped_ = false;
                writeControlLocked();
            }
        });
    }
    // The calls held go on (as late as answerEachAfter says).
    void resume() {
        {
            const std::lock_guard lock(mutex_);
            if (stopped_) {
                stopped_ = false;
                writeControlLocked();
            }
        }
        wake_.notify_all();
        if (watchdog_.joinable()) watchdog_.join();
    }
    // Whether a stop had to end by itself: something waited on the share all that time.
    bool resumedByWatchdog() const { return resumedByWatchdog_; }

    // link() answers this error from now on (0: links are made).
    void refuseLinks(int error) {
        const std::lock_guard lock(mutex_);
        linkError_ = error;
        writeControlLocked();
    }

    // A call the share answered: what it was, on which path from the share's root ("/sorvin.json"),
    // and the thread that made it (its id as gettid gives it; 0 for the kernel's own).
    struct Call {
        std::string op;
        std::string path;
        pid_t thread = 0;
    };
    // The calls answered since the last clearCallLog(), in order.
    std::vector<Call> calls() const {
        std::vector<Call> calls;
        std::ifstream in(logFile());
        for (std::string line; std::getline(in, line);) {
            const auto first = line.find(' '), last = line.rfind(' ');
            if (first == std::string::npos || last <= first) continue;
            calls.push_back({line.substr(0, first), line.substr(first + 1, last - first - 1),
                             static_cast<pid_t>(std::atoi(line.c_str() + last + 1))});
        }
        return calls;
    }
    // The same, one "<op> <path>" each.
    std::vector<std::string> callLog() const {
        std::vector<std::string> lines;
        for (const Call& call : calls())
            lines.push_back(call.op + " " + call.path);
        return lines;
    }
    void clearCallLog() {
        std::error_code ignored;
        std::filesystem::remove(logFile(), ignored);
    }

private:
    std::filesystem::path controlFile() const { return controlFolder_ / "control"; }
    std::filesystem::path logFile() const { return controlFolder_ / "calls.log"; }

    void writeControl() {
        const std::lock_guard lock(mutex_);
        writeControlLocked();
    }
    // Replaced in one step, so that a call never reads half a file.
    void writeControlLocked() {
        if (controlFolder_.empty()) return;
        const auto next = controlFolder_ / "control.next";
        {
            std::ofstream out(next, std::ios::trunc);
            out << "delay_ms=" << delay_.count() << "\nstopped=" << (stopped_ ? 1 : 0)
                << "\nlink_error=" << linkError_ << "\nlog=" << logFile().string() << "\n";
        }
        std::filesystem::rename(next, controlFile());
    }

    std::filesystem::path at_;
    std::filesystem::path controlFolder_;
    std::string skipReason_;
    pid_t daemon_ = -1;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::chrono::milliseconds delay_{0};
    bool stopped_ = false;
    int linkError_ = 0;
    std::atomic<bool> resumedByWatchdog_ = false;
    std::thread watchdog_;
};

} // namespace sorvin::test
