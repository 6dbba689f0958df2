#include "persistence/selection_saver.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/atomic_file.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <condition_variable>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

// The real file system, keeping which record was written with which hearts, in order; a write may
// be held until the test lets it go on.
class WatchedFiles : public FileManager {
public:
    void writeAtomically(const fs::path& path, std::string_view bytes) override {
        {
            std::unique_lock lock(mutex);
            ++started;
            changed.notify_all();
            changed.wait(lock, [&] { return !holdWrites; });
        }
        FileManager::writeAtomically(path, bytes);
        const std::lock_guard lock(mutex);
        writes.push_back(path.parent_path().filename().string() + ":" +
                         std::to_string(std::string_view(bytes).find("\"heart\"") != std::string_view::npos));
    }
    void release() {
        const std::lock_guard lock(mutex);
        holdWrites = false;
        changed.notify_all();
    }
    void waitUntilAWriteStarted() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started > 0; });
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool holdWrites = false;
    int started = 0;
    std::vector<std::string> writes; // "<folder>:<whether a heart is in it>"
};

// Each task on a thread of its own, joined at the end.
class ThreadExecutor final : public BackgroundExecutor {
public:
    ~ThreadExecutor() override {
        for (auto& thread : threads)
            thread.join();
    }
    void run(TaskPriority, std::function<void()> task) override { threads.emplace_back(std::move(task)); }
    std::vector<std::thread> threads;
};

class SelectionSaverTest : public testing::Test {
protected:
    std::shared_ptr<SelectionStore> store(const std::string& folder) {
        fs::create_directories(root / folder);
        auto made = std::make_shared<SelectionStore>(root / folder, root / "support", root / "legacy", files);
        made->load();
        return made;
    }
    static SelectionSaveValues hearted(bool heart) {
        SelectionSaveValues values;
        if (heart) values.hearts.insert("a.jpg");
        return values;
    }
    SelectionSaver saver(BackgroundExecutor& executor) {
        return SelectionSaver(queue, executor, [this](const SelectionSaver::Result& result) {
            results.push_back(result);
        });
    }

    test::TemporaryFolder root;
    WatchedFiles files;
    test::ManualMainQueue queue;
    test::ManualExecutor executor;
    std::vector<SelectionSaver::Result> results;
    const std::chrono::system_clock::time_point date{};
};

// Newer values replace the save still waiting for the same folder; a save of another folder in
// between is written in its turn, and nothing of either folder is lost or comes out of order.
TEST_F(SelectionSaverTest, WaitingSavesGiveWayToNewerOnesOfTheSameFolderOnly) {
    SelectionSaver writer = saver(executor);
    const auto first = store("first");
    const auto second = store("second");
    writer.save(first, hearted(false), date);
    writer.save(first, hearted(true), date);
    writer.save(second, hearted(true), date);
    writer.save(first, hearted(false), date);
    writer.save(first, hearted(true), date);
    EXPECT_EQ(executor.waiting(), 1u) << "one turn of the executor writes them all";
    EXPECT_TRUE(files.writes.empty()) << "nothing is written on the main thread";

    executor.runAll();
    EXPECT_EQ(files.writes, (std::vector<std::string>{"first:1", "second:1", "first:1"}));
    EXPECT_TRUE(results.empty()) << "results come through the main queue";
    queue.runPending();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(results[1].store, second);
    for (const auto& result : results) {
        EXPECT_FALSE(result.error);
        EXPECT_EQ(result.usesFallback, false);
    }

    writer.save(second, hearted(false), date);
    EXPECT_EQ(executor.waiting(), 1u) << "a new turn once the last ended";
    executor.runAll();
    EXPECT_EQ(files.writes.back(), "second:0");
}

// Finishing writes what still waits on the calling thread and answers for the last save: a
// protected record is refused (and stays as it was), a later save that works answers true.
TEST_F(SelectionSaverTest, FinishingWritesWhatWaitsAndTellsWhetherTheLastWasWritten) {
    SelectionSaver writer = saver(executor);
    EXPECT_TRUE(writer.finish(0)) << "nothing was ever asked";

    fs::create_directories(root / "newer");
    std::ofstream(root / "newer" / "sorvin.json") << R"({"version": 3})";
    const auto newer = store("newer");
    const auto open = store("open");
    writer.save(open, hearted(true), date);
    writer.save(newer, hearted(true), date);
    EXPECT_FALSE(writer.finish(0));
    EXPECT_EQ(files.writes, std::vector<std::string>{"open:1"});
    EXPECT_EQ(AtomicFile::read(root / "newer" / "sorvin.json"), R"({"version": 3})");
    queue.runPending();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_THROW(std::rethrow_exception(results[1].error), SelectionStoreError);

    writer.save(open, hearted(false), date);
    EXPECT_TRUE(writer.finish(0));
    EXPECT_EQ(files.writes.back(), "open:0");
    executor.runAll();
    EXPECT_EQ(files.writes.size(), 2u) << "the executor's turn finds nothing left";
}

// A save being written on another thread: finishing waits for it, and says when time ran out.
TEST_F(SelectionSaverTest, FinishingWaitsForTheSaveBeingWrittenElsewhere) {
    ThreadExecutor threads;
    {
        SelectionSaver writer = saver(threads);
        const auto open = store("open");
        files.holdWrites = true;
        writer.save(open, hearted(true), date);
        files.waitUntilAWriteStarted();
        writer.save(open, hearted(false), date);
        EXPECT_FALSE(writer.finish(0)) << "the write is held";
        files.release();
        EXPECT_TRUE(writer.finish(60));
        EXPECT_EQ(files.writes, (std::vector<std::string>{"open:1", "open:0"}));
    }
    queue.runPending();
    EXPECT_EQ(results.size(), 2u) << "reported after the saver is gone";
}

} // namespace
} // namespace sorvin
