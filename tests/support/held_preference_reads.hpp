#pragma once

#include "platform/defaults_store.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

namespace sorvin::test {

// Every read of a preferences file (a store's opening, and the read that each write makes first)
// waits while held, as on a share that stopped, and is counted with the thread that made it. A read
// held longer than `atMost` goes on by itself, so that a test that waits on it fails instead of
// hanging.
class HeldPreferenceReads {
public:
    explicit HeldPreferenceReads(std::filesystem::path file,
                                 std::chrono::seconds atMost = std::chrono::seconds(10))
        : file_(std::move(file)), atMost_(atMost) {
        DefaultsStore::setFileStepHookForTesting(
            [this](const std::filesystem::path& path, DefaultsStore::FileStep step) -> std::error_code {
                if (path == file_ && step == DefaultsStore::FileStep::open) enter();
                return {};
            });
    }
    ~HeldPreferenceReads() {
        letGo();
        DefaultsStore::setFileStepHookForTesting({});
    }
    HeldPreferenceReads(const HeldPreferenceReads&) = delete;
    HeldPreferenceReads& operator=(const HeldPreferenceReads&) = delete;

    // Reads from now on wait until letGo().
    void hold() {
        const std::lock_guard lock(mutex_);
        held_ = true;
    }
    void letGo() {
        const std::lock_guard lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }
    // Waits until a read is being held; false when none came within `atMost`.
    bool waitUntilHolding() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, atMost_, [this] { return holding_ > 0; });
    }

    int reads() const {
        const std::lock_guard lock(mutex_);
        return reads_;
    }
    // The threads that read the file.
    std::set<std::thread::id> readers() const {
        const std::lock_guard lock(mutex_);
        return readers_;
    }

private:
    void enter() {
        std::unique_lock lock(mutex_);
        ++reads_;
        readers_.insert(std::this_thread::get_id());
        ++holding_;
        changed_.notify_all();
        changed_.wait_for(lock, atMost_, [this] { return !held_; });
        --holding_;
    }

    std::filesystem::path file_;
    std::chrono::seconds atMost_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    int holding_ = 0;
    int reads_ = 0;
    std::set<std::thread::id> readers_;
};

} // namespace sorvin::test
