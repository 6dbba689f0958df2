#pragma once

#include "platform/folder_probe.hpp"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

namespace sorvin::test {

// The file system as the folder choosers ask it, except for what lies under one folder, the share,
// which stands for a disk of its own: while it is slow, each call to it answers after the delay
// set; while it is silent, none answers until the test lets them go on (or a minute has passed,
// so that a failed test ends). A link elsewhere into the share is read where it lies, and what
// it points to is asked of the share.
class SlowShareDisk final : public FolderProbeDisk {
public:
    static constexpr DiskId kShare = kAnyDisk - 1;

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
    // The calls held go on, and the share answers at once from now.
    void answerAtOnce() { answerLate(std::chrono::milliseconds(0)); }

    // How many calls to the share were made.
    std::size_t asked() const {
        const std::lock_guard lock(mutex_);
        return asked_;
    }
    // How many calls to the share are held now.
    std::size_t held() const {
        const std::lock_guard lock(mutex_);
        return held_;
    }

    DiskId diskOf(const std::filesystem::path& resolved) const override {
        return onTheShare(resolved) ? kShare : FolderProbeDisk::diskOf(resolved);
    }
    FolderProbeNode node(const std::filesystem::path& path) const override {
        holdOn(path);
        return FolderProbeDisk::node(path);
    }
    FolderProbeListing listing(const std::filesystem::path& folder, const std::function<void()>& answering) const override {
        holdOn(folder);
        return FolderProbeDisk::listing(folder, answering);
    }

private:
    bool onTheShare(const std::filesystem::path& path) const {
        const auto inside = path.lexically_normal().lexically_relative(share_);
        return !inside.empty() && *inside.begin() != "..";
    }
    void holdOn(const std::filesystem::path& path) const {
        if (!onTheShare(path)) return;
        std::unique_lock lock(mutex_);
        ++asked_;
        ++held_;
        changed_.wait_for(lock, std::chrono::minutes(1), [&] { return !silent_; });
        const auto delay = delay_;
        lock.unlock();
        std::this_thread::sleep_for(delay);
        lock.lock();
        --held_;
    }

    std::filesystem::path share_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable std::size_t asked_ = 0;
    mutable std::size_t held_ = 0;
    std::chrono::milliseconds delay_{0};
    bool silent_ = false;
};

} // namespace sorvin::test
