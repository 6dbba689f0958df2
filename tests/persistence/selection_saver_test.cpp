#include "persistence/selection_saver.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/atomic_file.hpp"
#include "support/held_writes.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>

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
    EXPECT_TRUE(files.writes().empty()) << "nothing is written on the main thread";

    executor.runAll();
    EXPECT_EQ(written(files), (std::vector<std::string>{"first:1", "second:1", "first:1"}));
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
    EXPECT_EQ(written(files).back(), "second:0");
}

// The main thread never writes: it hears when the saves of a folder, or all saves, have ended,
// once the worker wrote them and their reports have come. A protected record is refused, says
// why, and stays as it was.
TEST_F(SelectionSaverTest, TheMainThreadHearsWhenAFoldersSavesHaveEnded) {
    SelectionSaver writer = saver(executor);
    bool ranAtOnce = false;
    writer.whenSaved(std::nullopt, [&] { ranAtOnce = true; });
    EXPECT_TRUE(ranAtOnce) << "nothing was ever asked";

    fs::create_directories(root / "newer");
    std::ofstream(root / "newer" / "sorvin.json") << R"({"version": 3})";
    const auto newer = store("newer");
    const auto open = store("open");
    writer.save(open, hearted(true), date);
    writer.save(newer, hearted(true), date);
    std::vector<std::string> heard;
    writer.whenSaved(root / "open", [&] { heard.push_back("open:" + std::to_string(results.size())); });
    writer.whenSaved(std::nullopt, [&] { heard.push_back("all:" + std::to_string(results.size())); });
    EXPECT_TRUE(writer.isSaving(root / "open"));
    EXPECT_TRUE(writer.isSaving(root / "newer" / "."));
    EXPECT_FALSE(writer.isSaving(root / "other"));

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
        EXPECT_TRUE(writer.isSaving(root / "open"));
        EXPECT_FALSE(writer.isSaving(root / "elsewhere"));
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
        writer.whenSaved(root / "open", [&] { heard.push_back("before:" + std::to_string(results.size())); });
        writer.save(open, hearted(true), date); // takes the place of the waiting one
        EXPECT_TRUE(writer.isSaving(root / "link"));
        EXPECT_TRUE(writer.isSaving(root / "link" / "." / ".." / "open"));
        writer.whenSaved(root / "link", [&] { heard.push_back("after:" + std::to_string(results.size())); });
        EXPECT_TRUE(heard.empty());
        files.release();
        threads.joinAll();
        queue.runPending();
        EXPECT_FALSE(writer.isSaving(root / "link"));
    }
    EXPECT_EQ(written(files), (std::vector<std::string>{"open:1", "open:1"}));
    EXPECT_EQ(heard, (std::vector<std::string>{"before:2", "after:2"}))
        << "both once the newest values were written";
}

} // namespace
} // namespace sorvin
