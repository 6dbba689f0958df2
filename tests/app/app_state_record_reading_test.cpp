// The folder's record is read in the background, as the scan is: the main thread asks the disk
// nothing of it, the loading screen stays until it has answered, and a folder opened meanwhile, or
// キャンセル, drops what it read. A store let go of ends in the background too, its lock with it.

#include "app_state_fixture.hpp"
#include "persistence/selection_store.hpp"
#include "support/asked_files.hpp"

#include <fstream>
#include <system_error>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

// The real file system, counting the questions about records that come while the test runs the
// main queue's work, as the main thread does, besides all of them. While refusing, every write
// fails as on a disk that refuses it.
class WatchedRecordFiles final : public AskedFiles {
public:
    AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                    const AtomicFile::Expected& expected) override {
        if (!refusal) return AskedFiles::replace(path, bytes, expected);
        asking(path);
        throw std::system_error(*refusal, path.string());
    }

    bool mainThreadTurn = false;
    mutable int askedOnTheMainThread = 0;
    mutable int askedInAll = 0;
    std::optional<std::error_code> refusal;

private:
    void asking(const fs::path&) const override {
        ++askedInAll;
        if (mainThreadTurn) ++askedOnTheMainThread;
    }
};

class AppStateRecordReading : public AppStateTest {
protected:
    AppStateRecordReading() {
        addStandardPhotos();
        std::ofstream(photos() / "sorvin.json") << heartIn("b.jpg");
        fs::create_directories(second());
        fs::copy_file(sample("jpeg/nikon_d40_orient6.jpg"), second() / "d.jpg");
        std::ofstream(second() / "sorvin.json") << heartIn("d.jpg");
        recordFiles = &files;
    }
    ~AppStateRecordReading() override { destroyState(); }

    static std::string heartIn(const std::string& photo) {
        return R"({"version": 2, "app": "Sorvin", "updatedAt": "x", "photos": {")" + photo +
               R"(": {"heart": true}}})";
    }
    fs::path second() const { return root / "second"; }
    // The file through which the folder's record is locked while a store of it lives.
    fs::path lockOf(const fs::path& folder) const {
        return support /
               ("record-" + SelectionStore::folderHash(SelectionStore(folder, support).folderIdentity()) +
                ".lock");
    }

    // Runs what the main queue holds, as the main thread does.
    void mainThreadTurn() {
        files.mainThreadTurn = true;
        queue.runPending();
        files.mainThreadTurn = false;
    }
    // The user's work waiting in the background: the stores that end come besides, at utility
    // priority.
    std::size_t userWork() const {
        std::size_t count = 0;
        for (std::size_t at = 0; at < executor.waiting(); ++at)
            count += executor.job(at).priority == TaskPriority::userInitiated;
        return count;
    }
    // The user's work waiting in the background, or only the first piece of it.
    void runUserWork(bool firstOnly = false) {
        for (std::size_t at = 0; at < executor.waiting();) {
            if (executor.job(at).priority != TaskPriority::userInitiated) {
                ++at;
                continue;
            }
            executor.runAt(at);
            if (firstOnly) return;
        }
    }
    // The background work and what it posts back, until nothing is left.
    void settleWatching() {
        for (int round = 0; round < 100 && (executor.waiting() > 0 || queue.pendingCount() > 0); ++round) {
            executor.runAll();
            mainThreadTurn();
        }
    }
    // The folder opened and its scan answered, and then the steps of its record's reading asked
    // for: with none, its store is being made; with one, its record is being locked and read.
    void openAnsweringSteps(const fs::path& folder, int recordSteps) {
        state().open(folder);
        for (int step = 0; step <= recordSteps; ++step) {
            ASSERT_EQ(userWork(), 1u) << "step " << step << " waits in the background";
            runUserWork();
            mainThreadTurn();
            EXPECT_EQ(state().screen(), AppScreen::loading) << "step " << step;
        }
    }

    WatchedRecordFiles files;
};

// The scan's answer, the store made for the folder, and its record locked and read: each is a
// step in the background, the loading screen up meanwhile. The folder then shows what its record
// holds. Left for another folder, its store ends in the background, and its lock with it.
TEST_F(AppStateRecordReading, TheRecordIsReadInTheBackgroundWithTheLoadingScreenUp) {
    openAnsweringSteps(photos(), 1);
    EXPECT_FALSE(state().library());
    EXPECT_FALSE(fs::exists(lockOf(photos()))) << "not locked before its step";
    settleWatching();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_TRUE(state().library()->containsHeart("b.jpg", RetouchSlot::a));
    EXPECT_TRUE(fs::exists(lockOf(photos())));
    EXPECT_GT(files.askedInAll, 0);
    EXPECT_EQ(files.askedOnTheMainThread, 0);

    state().open(second());
    mainThreadTurn();
    EXPECT_TRUE(fs::exists(lockOf(photos()))) << "the store left ended on the main thread";
    settleWatching();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_FALSE(fs::exists(lockOf(photos())));
    EXPECT_EQ(files.askedOnTheMainThread, 0);
}

// キャンセル while the store is being made, or while the record is being read: the loading screen
// goes at once, what the step read is dropped, and its store ends, letting go of the lock.
TEST_F(AppStateRecordReading, CancellingWhileTheRecordIsOutDropsIt) {
    for (const int stepsAnswered : {0, 1}) {
        SCOPED_TRACE(stepsAnswered);
        openAnsweringSteps(photos(), stepsAnswered);
        state().cancelLoading();
        EXPECT_EQ(state().screen(), AppScreen::home);
        settleWatching();
        EXPECT_EQ(state().screen(), AppScreen::home);
        EXPECT_FALSE(state().library());
        EXPECT_FALSE(state().toastText());
        EXPECT_TRUE(state().recentFolders().empty()) << "never shown";
        EXPECT_FALSE(fs::exists(lockOf(photos())));
    }
    EXPECT_EQ(files.askedOnTheMainThread, 0);
}

// Another folder opened while the first one's record is read: only the second is shown, with its
// own record, and the first one's store ends.
TEST_F(AppStateRecordReading, AnotherFolderOpenedWhileTheRecordIsOutTakesItsPlace) {
    openAnsweringSteps(photos(), 1);
    state().open(second());
    settleWatching();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_EQ(state().sourceFolder(), FolderScanner::standardized(second()));
    ASSERT_EQ(state().library()->visiblePhotos().size(), 1u);
    EXPECT_TRUE(state().library()->containsHeart("d.jpg", RetouchSlot::a));
    EXPECT_EQ(state().recentFolders(),
              std::vector<std::string>{FolderScanner::standardized(second()).string()});
    EXPECT_FALSE(fs::exists(lockOf(photos())));
    EXPECT_EQ(files.askedOnTheMainThread, 0);
}

// A heart the disk refused when its folder was left comes back when the folder is opened again.
// Should a save of it be asked while the record is read (a quit called off hands it again), the
// record is read once more after that save, which wrote the heart.
TEST_F(AppStateRecordReading, ASaveAskedWhileTheRecordIsOutIsWaitedForAndReadAgain) {
    openPhotos();
    ASSERT_TRUE(state().jump("c.jpg", RetouchSlot::a));
    state().toggleHeart();
    files.refusal = std::make_error_code(std::errc::permission_denied);
    state().open(second());
    settleWatching();
    ASSERT_EQ(state().screen(), AppScreen::select);

    // Opened again: the refused save is tried once more as the second folder is left, in vain, and
    // then the record is read.
    state().open(photos());
    runUserWork();
    mainThreadTurn();
    ASSERT_EQ(userWork(), 1u) << "the store being made";
    runUserWork();
    mainThreadTurn();
    ASSERT_EQ(userWork(), 1u) << "the record being read";
    files.refusal.reset();
    state().finishSaving([](RecordSaving) {});
    ASSERT_EQ(userWork(), 2u) << "the record being read and the save asked meanwhile";
    runUserWork(true);
    mainThreadTurn();
    EXPECT_EQ(state().screen(), AppScreen::loading) << "the save is waited for";
    settleWatching();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_TRUE(state().library()->containsHeart("c.jpg", RetouchSlot::a));
    EXPECT_TRUE(state().library()->containsHeart("b.jpg", RetouchSlot::a));
    EXPECT_EQ(files.askedOnTheMainThread, 0);
}

} // namespace
} // namespace sorvin::test
