#include "persistence/selection_saver.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/atomic_file.hpp"
#include "platform/thread_per_task_executor.hpp"
#include "support/held_writes.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

// "<folder>:<whether a heart is in it>" for each record written, in order.
std::vector<std::string> written(test::HeldWrites& files) {
    std::vector<std::string> writes;
    for (const auto& [path, text] : files.writes())
        writes.push_back(path.parent_path().filename().string() + ":" +
                         std::to_string(text.find("\"heart\"") != std::string::npos));
    return writes;
}

class SelectionSaverTest : public testing::Test {
protected:
    std::shared_ptr<SelectionStore> store(const std::string& folder) {
        fs::create_directories(root / folder);
        auto made = std::make_shared<SelectionStore>(root / folder, root / "support", root / "legacy", files);
        made->load();
        return made;
    }
    // The folder as a store made for it names it: by the path given, whatever it leads to.
    std::unique_ptr<SelectionStore> of(const fs::path& folder) {
        return std::make_unique<SelectionStore>(folder, root / "support", root / "legacy", files);
    }
    static SelectionSaveValues hearted(bool heart) {
        SelectionSaveValues values;
        if (heart) values.hearts.insert("a.jpg");
        return values;
    }
    // A write of the folder "open" that the disk holds, and a save of it waiting behind it.
    std::shared_ptr<SelectionStore> heldWriteAndOneWaiting(SelectionSaver& writer) {
        const auto open = store("open");
        files.hold();
        writer.save(open, hearted(true), date);
        EXPECT_TRUE(files.waitUntilWriteStarted());
        writer.save(open, hearted(false), date);
        return open;
    }
    SelectionSaver saver(BackgroundExecutor& executor) {
        return SelectionSaver(queue, executor,
                              [this](const SelectionSaver::Result& result) { results.push_back(result); });
    }

    test::TemporaryFolder root;
    test::HeldWrites files;
    test::ManualMainQueue queue;
    test::ManualExecutor executor;
    std::vector<SelectionSaver::Result> results;
    const std::chrono::system_clock::time_point date{};
};

// Newer values replace the save still waiting for the same folder; each folder is written in a
// turn of its own, and nothing of either folder is lost or comes out of order.
TEST_F(SelectionSaverTest, WaitingSavesGiveWayToNewerOnesOfTheSameFolderOnly) {
    SelectionSaver writer = saver(executor);
    const auto first = store("first");
    const auto second = store("second");
    writer.save(first, hearted(false), date);
    writer.save(first, hearted(true), date);
    writer.save(second, hearted(true), date);
    writer.save(first, hearted(false), date);
    writer.save(first, hearted(true), date);
    EXPECT_EQ(executor.waiting(), 2u) << "a turn of the executor for each folder";
    EXPECT_TRUE(files.writes().empty()) << "nothing is written on the main thread";

    executor.runAll();
    EXPECT_EQ(written(files), (std::vector<std::string>{"first:1", "second:1"}));
    EXPECT_TRUE(results.empty()) << "results come through the main queue";
    queue.runPending();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[1].store, second);
    for (const auto& result : results) {
        EXPECT_FALSE(result.error);
        EXPECT_EQ(result.usesFallback, false);
    }

    writer.save(second, hearted(false), date);
    EXPECT_EQ(executor.waiting(), 1u) << "a new turn once the last ended";
    executor.runAll();
    EXPECT_EQ(written(files).back(), "second:0");
}

// A folder on a disk that holds its write keeps no other folder's save waiting: the folder opened
// next is written and reported meanwhile, whoever waits for it hears so, and whoever waits for
// every save still waits; the held write ends in its own time, also after the saver is gone.
TEST_F(SelectionSaverTest, AWriteTheDiskHoldsKeepsNoOtherFoldersSaveWaiting) {
    std::vector<std::string> heard;
    {
        ThreadPerTaskExecutor threads;
        SelectionSaver writer = saver(threads);
        const auto stalled = store("stalled");
        const auto local = store("local");
        files.holdOnly(root / "stalled");
        writer.save(stalled, hearted(true), date);
        ASSERT_TRUE(files.waitUntilWriteStarted());
        writer.save(local, hearted(true), date);
        writer.whenSaved(of(root / "local").get(), [&] { heard.push_back("local"); });
        writer.whenSaved(nullptr, [&] { heard.push_back("all"); });
        for (int look = 0; look < 30'000 && queue.pendingCount() == 0; ++look)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(queue.pendingCount(), 1u) << "the other folder's save waited behind the held one";
        EXPECT_EQ(written(files), std::vector<std::string>{"local:1"});
        queue.runPending();
        EXPECT_EQ(heard, std::vector<std::string>{"local"});
        EXPECT_FALSE(writer.isSaving(of(root / "local").get()));
        EXPECT_TRUE(writer.isSaving(of(root / "stalled").get()));
        EXPECT_TRUE(writer.isSaving());
        files.release();
    }
    EXPECT_EQ(written(files), (std::vector<std::string>{"local:1", "stalled:1"}));
    queue.runPending();
    EXPECT_EQ(heard, (std::vector<std::string>{"local", "all"}));
    EXPECT_EQ(results.size(), 2u);
}

// The main thread never writes: it hears when the saves of a folder, or all saves, have ended,
// once the worker wrote them and their reports have come. A protected record is refused, says
// why, and stays as it was.
TEST_F(SelectionSaverTest, TheMainThreadHearsWhenAFoldersSavesHaveEnded) {
    SelectionSaver writer = saver(executor);
    bool ranAtOnce = false;
    writer.whenSaved(nullptr, [&] { ranAtOnce = true; });
    EXPECT_TRUE(ranAtOnce) << "nothing was ever asked";

    fs::create_directories(root / "newer");
    std::ofstream(root / "newer" / "sorvin.json") << R"({"version": 3})";
    const auto newer = store("newer");
    const auto open = store("open");
    writer.save(open, hearted(true), date);
    writer.save(newer, hearted(true), date);
    std::vector<std::string> heard;
    writer.whenSaved(of(root / "open").get(),
                     [&] { heard.push_back("open:" + std::to_string(results.size())); });
    writer.whenSaved(nullptr, [&] { heard.push_back("all:" + std::to_string(results.size())); });
    EXPECT_TRUE(writer.isSaving(of(root / "open").get()));
    EXPECT_TRUE(writer.isSaving(of(root / "newer" / ".").get()));
    EXPECT_FALSE(writer.isSaving(of(root / "other").get()));

    executor.runAll();
    EXPECT_EQ(written(files), std::vector<std::string>{"open:1"});
    EXPECT_TRUE(writer.isSaving()) << "until its report has come";
    queue.runPending();
    EXPECT_EQ(heard, (std::vector<std::string>{"open:1", "all:2"})) << "each right after its own report";
    EXPECT_FALSE(writer.isSaving());
    ASSERT_EQ(results.size(), 2u);
    EXPECT_FALSE(results[0].protection);
    EXPECT_EQ(results[1].protection, SelectionProtection::newerVersion);
    EXPECT_THROW(std::rethrow_exception(results[1].error), SelectionStoreError);
    EXPECT_EQ(AtomicFile::read(root / "newer" / "sorvin.json"), R"({"version": 3})");
}

// A write held on the worker: the main thread goes on, the save asked meanwhile waits its turn,
// and both are reported in order, also after the saver is gone.
TEST_F(SelectionSaverTest, AHeldWriteKeepsNothingButItsOwnFolderWaiting) {
    {
        test::ThreadExecutor threads;
        SelectionSaver writer = saver(threads);
        heldWriteAndOneWaiting(writer);
        EXPECT_TRUE(writer.isSaving(of(root / "open").get()));
        EXPECT_FALSE(writer.isSaving(of(root / "elsewhere").get()));
        files.release();
    }
    EXPECT_EQ(written(files), (std::vector<std::string>{"open:1", "open:0"}));
    queue.runPending();
    EXPECT_EQ(results.size(), 2u) << "reported after the saver is gone";
}

// A save still waiting that takes newer values stands for them: whoever waits for the folder's
// saves after that hears of it only once those newer values are written. The folder is known by
// what it is, so a wait asked through a link to it, or another spelling, waits all the same.
TEST_F(SelectionSaverTest, AWaitingSaveThatTakesNewerValuesIsWaitedForUnderAnyPath) {
    fs::create_directories(root / "open");
    fs::create_directory_symlink(root / "open", root / "link");
    std::vector<std::string> heard;
    {
        test::ThreadExecutor threads;
        SelectionSaver writer = saver(threads);
        const auto open = heldWriteAndOneWaiting(writer);
        writer.whenSaved(of(root / "open").get(),
                         [&] { heard.push_back("before:" + std::to_string(results.size())); });
        writer.save(open, hearted(true), date); // takes the place of the waiting one
        EXPECT_TRUE(writer.isSaving(of(root / "link").get()));
        EXPECT_TRUE(writer.isSaving(of(root / "link" / "." / ".." / "open").get()));
        writer.whenSaved(of(root / "link").get(),
                         [&] { heard.push_back("after:" + std::to_string(results.size())); });
        EXPECT_TRUE(heard.empty());
        files.release();
        threads.joinAll();
        queue.runPending();
        EXPECT_FALSE(writer.isSaving(of(root / "link").get()));
    }
    EXPECT_EQ(written(files), (std::vector<std::string>{"open:1", "open:1"}));
    EXPECT_EQ(heard, (std::vector<std::string>{"before:2", "after:2"}))
        << "both once the newest values were written";
}

} // namespace
} // namespace sorvin
