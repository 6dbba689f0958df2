#pragma once

#include "platform/background_executor.hpp"
#include "platform/file_manager.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace sorvin::test {

// The real file system, but while held, a write waits before it starts until the test lets it go
// on, as on a stalled disk. A write held a minute goes on all the same, so that a test that failed
// before releasing it ends. While refusing, a write fails with the error as it goes on (as on a
// full disk), every write or those whose text the test names.
class HeldWrites : public FileManager {
public:
    AtomicFile::Replacement replace(const std::filesystem::path& path, std::string_view bytes,
                                   const AtomicFile::Expected& expected) override {
        {
            std::unique_lock lock(mutex_);
            ++started_;
            changed_.notify_all();
            changed_.wait_for(lock, std::chrono::minutes(1), [&] {
                return !holding_ || (heldFolder_ && path.parent_path() != *heldFolder_);
            });
            if (refusal_ && (!refused_ || refused_(bytes))) throw std::system_error(*refusal_, path.string());
        }
        AtomicFile::Replacement written = FileManager::replace(path, bytes, expected);
        const std::lock_guard lock(mutex_);
        if (written.blind) written.renaming += blindRenaming_;
        writes_.emplace_back(path, std::string(bytes));
        return written;
    }

    // A blind rename (see AtomicFile::Replacement) is said to take this much longer than it did, as
    // through a share that stalls during the rename itself.
    void reportBlindRenamesTaking(std::chrono::steady_clock::duration longer) {
        const std::lock_guard lock(mutex_);
        blindRenaming_ = longer;
    }

    void hold() {
        const std::lock_guard lock(mutex_);
        holding_ = true;
        heldFolder_.reset();
    }
    // Only the writes into the folder wait; the others go on.
    void holdOnly(const std::filesystem::path& folder) {
        const std::lock_guard lock(mutex_);
        holding_ = true;
        heldFolder_ = folder;
    }
    // Writes that go on from now fail with the error, all of them or those whose text is refused.
    void refuse(std::error_code error, std::function<bool(std::string_view text)> refused = {}) {
        const std::lock_guard lock(mutex_);
        refusal_ = error;
        refused_ = std::move(refused);
    }
    void stopRefusing() {
        const std::lock_guard lock(mutex_);
        refusal_.reset();
    }
    void release() {
        const std::lock_guard lock(mutex_);
        holding_ = false;
        changed_.notify_all();
    }
    // False when no write started within the time.
    bool waitUntilWriteStarted(int count = 1) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return started_ >= count; });
    }
    // Each write that ended: where, and the text.
    std::vector<std::pair<std::filesystem::path, std::string>> writes() {
        const std::lock_guard lock(mutex_);
        return writes_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool holding_ = false;
    std::optional<std::filesystem::path> heldFolder_;
    std::optional<std::error_code> refusal_;
    std::function<bool(std::string_view)> refused_;
    int started_ = 0;
    std::chrono::steady_clock::duration blindRenaming_{};
    std::vector<std::pair<std::filesystem::path, std::string>> writes_;
};

// Each task on a thread of its own, joined when the test asks and at the end.
class ThreadExecutor final : public BackgroundExecutor {
public:
    ~ThreadExecutor() override { joinAll(); }
    void run(TaskPriority, std::function<void()> task) override { threads_.emplace_back(std::move(task)); }
    void joinAll() {
        for (auto& thread : threads_)
            if (thread.joinable()) thread.join();
    }

private:
    std::vector<std::thread> threads_;
};

} // namespace sorvin::test
