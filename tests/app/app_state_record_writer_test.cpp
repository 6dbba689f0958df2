// One record, one writer: a second copy of the program on the same folder, in a process of its
// own, never writes over what the first wrote, nor the first over the second.

#include "app_state_fixture.hpp"
#include "persistence/selection_store.hpp"
#include "support/child_program.hpp"
#include "support/held_writes.hpp"

#include <fstream>
#include <sstream>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFolderSetting = "SORVIN_TEST_FOLDER";
constexpr const char* kSupportSetting = "SORVIN_TEST_SUPPORT";
constexpr const char* kToastSetting = "SORVIN_TEST_TOAST";
constexpr std::chrono::seconds kChildTime{60};

// The other copy, in a child process: opens the folder, hearts a.jpg and saves while its disk
// holds the write, and tells the parent. Told, it lets the write go, writes down the message it
// shows then, and tells the parent again; told once more, it quits.
class OtherCopy : public AppStateTest {
public:
    void TestBody() override {}

    int run() {
        HeldWrites held;
        ThreadExecutor writer;
        recordFiles = &held;
        recordExecutor = &writer;
        support = childSetting(kSupportSetting);
        state().open(childSetting(kFolderSetting));
        settle();
        if (state().screen() != AppScreen::select || !state().jump("a.jpg", RetouchSlot::a)) return 3;
        state().toggleHeart();
        held.hold();
        state().saveNow();
        if (!held.waitUntilWriteStarted()) return 4;
        reportToParent();
        awaitParent(kChildTime);
        held.release();
        writer.joinAll();
        settle();
        std::ofstream(childSetting(kToastSetting)) << state().toastText().value_or("");
        reportToParent();
        awaitParent(kChildTime);
        state().prepareForTermination();
        writer.joinAll();
        destroyState();
        return 0;
    }
};

class OtherCopyChild : public ::testing::Environment {
public:
    void SetUp() override {
        const std::string role = childRole();
        if (role.empty()) return;
        int status = 2; // a role of another program
        if (role == "other-copy") {
            OtherCopy copy;
            status = copy.run();
        }
        ::_exit(status);
    }
};

[[maybe_unused]] const auto* const childEnvironment = ::testing::AddGlobalTestEnvironment(new OtherCopyChild);

class AppStateRecordWriter : public AppStateTest {
protected:
    AppStateRecordWriter() { addStandardPhotos(); }

    std::vector<std::string> otherCopy(const fs::path& itsSupport) const {
        return {std::string(kFolderSetting) + "=" + photos().string(),
                std::string(kSupportSetting) + "=" + itsSupport.string(),
                std::string(kToastSetting) + "=" + (root / "toast.txt").string()};
    }
    std::string toastOfTheOtherCopy() const {
        std::stringstream text;
        text << std::ifstream(root / "toast.txt").rdbuf();
        return text.str();
    }
    // The hearts of a record file, read as a folder's record.
    std::set<std::string> heartsIn(const fs::path& file) const {
        fs::create_directories(root / "copy");
        fs::copy_file(file, root / "copy" / "sorvin.json", fs::copy_options::overwrite_existing);
        return SelectionStore(root / "copy", root / "unused").load().hearts;
    }
    RecordSaving finishSaving() {
        std::optional<RecordSaving> saving;
        state().finishSaving([&](RecordSaving outcome) { saving = outcome; });
        settle();
        return saving.value_or(RecordSaving::stillWriting);
    }
    void heartB(RecordSaving saved = RecordSaving::written) {
        ASSERT_TRUE(state().jump("b.jpg", RetouchSlot::a));
        state().toggleHeart();
        EXPECT_EQ(finishSaving(), saved);
    }
};

// The first copy has the folder open and its save held by the disk: the second waits on the
// loading screen, saying which copy it waits for, as long as the first has the folder open, and
// then opens it with the first one's heart. Both hearts end up in the record.
TEST_F(AppStateRecordWriter, ASecondCopyOpensTheFolderOnceTheFirstHasLeftIt) {
    ChildProgram first("other-copy", otherCopy(support));
    ASSERT_TRUE(first.awaitReport(kChildTime)) << "the first copy's save is held";

    state().open(photos());
    settle();
    EXPECT_EQ(state().screen(), AppScreen::loading);
    ASSERT_TRUE(state().recordWait());
    EXPECT_EQ(state().recordWait()->otherCopy, (SelectionRecordHolder{first.pid(), ""}));

    first.tell();
    ASSERT_TRUE(first.awaitReport(kChildTime)) << "the first copy's save is written";
    queue.advance(AppState::kRecordLockRetry);
    settle();
    EXPECT_EQ(state().screen(), AppScreen::loading) << "the folder is still open there";

    first.tell();
    ASSERT_TRUE(first.awaitExit(kChildTime));
    queue.advance(AppState::kRecordLockRetry);
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_FALSE(state().recordWait());
    EXPECT_TRUE(state().library()->containsHeart("a.jpg", RetouchSlot::a));
    heartB();
    EXPECT_EQ(heartsIn(photos() / "sorvin.json"), (std::set<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(toastOfTheOtherCopy(), "♡を付けました");
}

// A copy that shares no lock with the first (another computer on the same share, another user)
// opens the folder at once and saves first; the first copy's held write then finds the record
// changed, combines the two and says so. Both hearts are in the record, and no file is set apart.
TEST_F(AppStateRecordWriter, ACopyThatFindsTheRecordChangedCombinesBothAndSaysSo) {
    ChildProgram first("other-copy", otherCopy(root / "another-computer"));
    ASSERT_TRUE(first.awaitReport(kChildTime)) << "the first copy's save is held";

    state().open(photos());
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    heartB();

    first.tell();
    ASSERT_TRUE(first.awaitReport(kChildTime));
    EXPECT_EQ(toastOfTheOtherCopy(), "記録がほかで書き換えられていたため、両方の変更を合わせて保存しました");
    first.tell();
    ASSERT_TRUE(first.awaitExit(kChildTime));
    EXPECT_EQ(heartsIn(photos() / "sorvin.json"), (std::set<std::string>{"a.jpg", "b.jpg"}));
    for (const auto& entry : fs::directory_iterator(photos()))
        EXPECT_EQ(entry.path().filename().string().find("conflict"), std::string::npos) << entry.path();
}

// A record the system cannot read when the folder opens (a share that stalls) is no damage: the
// folder opens saying so, the record stays as it is, and what is saved goes beside it, named.
TEST_F(AppStateRecordWriter, ARecordThatCannotBeReadNowIsSaidAndKept) {
    class StalledReads : public FileManager {
    public:
        std::string contents(const fs::path&, std::size_t, FileVersion*) const override {
            throw std::system_error(std::make_error_code(std::errc::io_error), "read");
        }
    } stalled;
    recordFiles = &stalled;
    const std::string record =
        R"({"version": 2, "app": "Sorvin", "updatedAt": "x", "photos": {"c.jpg": {"heart": true}}})";
    std::ofstream(photos() / "sorvin.json") << record;
    openPhotos();
    EXPECT_EQ(state().toastText(),
              "前回の記録を今は読み込めません。読み込めるようになってから、この間の変更を記録に合わせて保存します");
    heartB(RecordSaving::keptBeside);
    ASSERT_TRUE(state().toastText());
    EXPECT_TRUE(state().toastText()->starts_with("記録を今は読み込めないため、変更は「sorvin.json.conflict-"))
        << *state().toastText();
    std::stringstream onDisk;
    onDisk << std::ifstream(photos() / "sorvin.json").rdbuf();
    EXPECT_EQ(onDisk.str(), record);
    destroyState();
}

// A card folder whose card is taken out: the change goes to the fallback. The card put back (mounted
// anew, so the folder is another inode now), one more change, and the folder opened again in the
// same window while the save of the folder left is still under way: the opening waits for that
// save, which writes the card's record with both changes and removes the fallback, and then shows
// every change. Read before that save, the record would lack them, and the fallback would be gone
// by the time it was looked at.
TEST_F(AppStateRecordWriter, ACardPutBackAndOpenedAgainShowsTheChangesMadeWhileItWasOut) {
    class Card : public HeldWrites {
    public:
        std::function<void()> afterRecordRead;
        std::string contents(const fs::path& path, std::size_t maxBytes, FileVersion* version) const override {
            std::string text = HeldWrites::contents(path, maxBytes, version);
            if (path.filename() == "sorvin.json" && afterRecordRead) afterRecordRead();
            return text;
        }
    } card;
    ThreadExecutor writer;
    recordFiles = &card;
    recordExecutor = &writer;
    addPhoto("jpeg/nikon_d40_orient6.jpg", "d.jpg");
    std::ofstream(photos() / "sorvin.json")
        << R"({"version": 2, "app": "Sorvin", "updatedAt": "x", "photos": {"a.jpg": {"heart": true}, "b.jpg": {"heart": true}}})";
    openPhotos();
    const fs::path out = root / "card-out";
    fs::rename(photos(), out);
    ASSERT_TRUE(state().jump("c.jpg", RetouchSlot::a));
    state().toggleHeart();
    state().saveNow();
    writer.joinAll();
    settle();
    ASSERT_TRUE(state().usesFallbackStore());

    fs::copy(out, photos(), fs::copy_options::recursive);
    fs::remove_all(out);
    ASSERT_TRUE(state().jump("d.jpg", RetouchSlot::a));
    state().toggleHeart();
    card.hold();
    // Should the opening read the record while the save is held, that save then ends first.
    card.afterRecordRead = [&] {
        card.afterRecordRead = nullptr;
        card.release();
        writer.joinAll();
    };
    state().open(photos());
    settle();
    EXPECT_EQ(state().screen(), AppScreen::loading) << "waits for the save of the folder left";
    card.release();
    writer.joinAll();
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    for (const std::string path : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
        EXPECT_TRUE(state().library()->containsHeart(path, RetouchSlot::a)) << path;
    EXPECT_FALSE(state().usesFallbackStore());
    destroyState();
}

} // namespace
} // namespace sorvin::test
