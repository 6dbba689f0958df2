#pragma once

#include "platform/folder_probe.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <thread>

namespace sorvin::test {

// The file system as the folder choosers ask it, except for what lies under one folder, the share:
// while it is slow, each question about it answers after the delay set; while it is silent, none
// answers until the test lets them go on (or a minute has passed, so that a failed test ends).
class SlowShareDisk final : public FolderProbeDisk {
public:
    explicit SlowShareDisk(std::filesystem::path share) : share_(std::move(share)) {}

    void answerLate(std::chrono::milliseconds delay) {
        const std::lock_guard lock(mutex_);
        delay_ = delay;
        silent_ = false;
        changed_.notify_all();
    }
    void fallSilent() {
        const std::lock_guard lock(mutex_);
        silent_ = true;
    }
    // The questions held go on, and the share answers at once from now.
    void answerAtOnce() { answerLate(std::chrono::milliseconds(0)); }

    // How many questions about the share were asked.
    std::size_t asked() const {
        const std::lock_guard lock(mutex_);
        return asked_;
    }

    FolderProbePathKind kind(const std::filesystem::path& path) const override {
        holdOn(path);
        return FolderProbeDisk::kind(path);
    }
    FolderProbeListing listing(const std::filesystem::path& folder) const override {
        holdOn(folder);
        return FolderProbeDisk::listing(folder);
    }

private:
    void holdOn(const std::filesystem::path& path) const {
        const auto inside = path.lexically_normal().lexically_relative(share_);
        if (inside.empty() || *inside.begin() == "..") return;
        std::unique_lock lock(mutex_);
        ++asked_;
        changed_.wait_for(lock, std::chrono::minutes(1), [&] { return !silent_; });
        const auto delay = delay_;
        lock.unlock();
        std::this_thread::sleep_for(delay);
    }

    std::filesystem::path share_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable std::size_t asked_ = 0;
    std::chrono::milliseconds delay_{0};
    bool silent_ = false;
};

} // namespace sorvin::test
