// The folder chooser's rules, over real folders and a probe whose workers the test runs.

#include "shell/folder_chooser_model.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace sorvin::test {
namespace {

using State = FolderChooserModel::PathState;

class FolderChooserModelTest : public ::testing::Test {
protected:
    FolderChooserModelTest() {
        for (const char* name : {"IMG_10", "IMG_2", "b", ".hidden"})
            std::filesystem::create_directories(root.path() / "place" / name);
        std::ofstream(root.path() / "place" / "photo.jpg") << "x";
        std::filesystem::create_directory_symlink(root.path() / "place" / "b", root.path() / "place" / "a-link");
        std::filesystem::create_symlink(root.path() / "place" / "photo.jpg", root.path() / "place" / "file-link");
    }

    void settle() {
        for (int round = 0; round < 100 && (executor.waiting() > 0 || queue.pendingCount() > 0); ++round) {
            executor.runAll();
            queue.runPending();
        }
    }
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        for (const auto& row : model.rows()) result.push_back(row.name);
        return result;
    }
    std::filesystem::path place() const { return root.path() / "place"; }

    TemporaryFolder root;
    ManualMainQueue queue;
    ManualExecutor executor;
    FolderProbe probe{queue, executor};
    int changes = 0;
    FolderChooserModel model{probe, root.path(), [this] { ++changes; }};
};

// Subfolders in the order of file names, numbers by value; no file, no hidden folder, a link to a
// folder once it answered as one. The folder listed is what 選択 takes.
TEST_F(FolderChooserModelTest, ListsTheSubfoldersInNameOrder) {
    model.openFolder(place() / "");
    EXPECT_EQ(model.folder(), place());
    EXPECT_EQ(model.fieldText(), place().string());
    EXPECT_FALSE(model.choice()) << "nothing is taken before the folder answered";
    settle();
    EXPECT_EQ(names(), (std::vector<std::string>{"a-link", "b", "IMG_2", "IMG_10"}));
    EXPECT_EQ(model.choice(), place());
    EXPECT_EQ(model.status(), "");
    for (const auto& row : model.rows()) EXPECT_EQ(FolderChooserModel::typeText(row), "フォルダ");

    model.select(1);
    EXPECT_EQ(model.choice(), place() / "b");
    EXPECT_EQ(model.fieldText(), (place() / "b").string());
    model.openRow(1);
    EXPECT_EQ(model.folder(), place() / "b");
    model.goUp();
    EXPECT_EQ(model.folder(), place());
    settle();
    model.openRow(2);
    EXPECT_EQ(model.folder(), place() / "IMG_2");
    model.openFolder("/");
    EXPECT_FALSE(model.canGoUp());
    model.goUp();
    EXPECT_EQ(model.folder(), std::filesystem::path("/"));
}

// One link whose disk does not answer (its worker held): the others are shown, it is marked after
// the wait and cannot be taken, and at most a few links are asked at once, each once.
TEST_F(FolderChooserModelTest, AnEntryThatDoesNotAnswerIsMarkedAndTheOthersShown) {
    for (int index = 0; index < 20; ++index)
        std::filesystem::create_directory_symlink(place() / "b", place() / ("link" + std::to_string(100 + index)));
    model.openFolder(place());
    executor.runAt(0); // the listing
    queue.runPending();
    EXPECT_EQ(executor.waiting(), FolderChooserModel::kEntriesAskedAtOnce);
    // Asked in name order: a-link, file-link, link100 and link101 answer; link102 stalls.
    for (int answered = 0; answered < 4; ++answered) {
        executor.runAt(0);
        queue.runPending();
    }
    const auto answerAllButTheFirst = [&] {
        while (executor.waiting() > 1) {
            EXPECT_LE(executor.waiting(), FolderChooserModel::kEntriesAskedAtOnce);
            executor.runAt(1);
            queue.runPending();
        }
    };
    const auto stalledRow = [&] {
        const auto shown = names();
        return static_cast<std::size_t>(std::find(shown.begin(), shown.end(), "link102") - shown.begin());
    };
    answerAllButTheFirst();
    EXPECT_EQ(stalledRow(), names().size()) << "a link is shown once it answered";
    queue.advance(FolderChooserModel::kAnswerWait * 0.9);
    queue.advance(FolderChooserModel::kAnswerWait * 0.2);
    answerAllButTheFirst();
    const auto rows = model.rows();
    const std::size_t stalled = stalledRow();
    ASSERT_EQ(rows.size(), 24u) << "every folder shown";
    EXPECT_EQ(executor.started(), 1u + 22u) << "the listing, then each link once; folders are not asked";
    EXPECT_EQ(rows[stalled].state, State::notAnswering);
    EXPECT_EQ(FolderChooserModel::typeText(rows[stalled]), "応答なし");
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (row == stalled) continue;
        EXPECT_EQ(rows[row].state, State::folder) << rows[row].name;
    }
    model.select(stalled);
    EXPECT_FALSE(model.choice()) << "a folder that does not answer is not taken";
    // It answers at last.
    settle();
    EXPECT_EQ(model.rows()[stalled].state, State::folder);
    EXPECT_EQ(model.choice(), place() / "link102");
}

// Links into a share that stopped answering: the few asked at once are marked after the wait and
// give their places to the next, so that every link is asked, each once, and a link after them to
// a folder that answers is shown. The share's questions wait among its own (FolderProbe).
TEST_F(FolderChooserModelTest, LinksIntoAShareThatStoppedAnsweringHoldBackNoLinkAfterThem) {
    for (int index = 0; index < 40; ++index)
        std::filesystem::create_directory_symlink(place() / "b", place() / ("link" + std::to_string(100 + index)));
    std::filesystem::create_directory_symlink(place() / "b", place() / "zz-near");
    model.openFolder(place());
    executor.runAt(0); // the listing
    queue.runPending();
    EXPECT_EQ(executor.waiting(), FolderChooserModel::kEntriesAskedAtOnce);
    // None of them answers.
    for (int wait = 0; wait < 4; ++wait) queue.advance(FolderChooserModel::kAnswerWait + 0.01);
    EXPECT_EQ(executor.started(), 1u + 2u + 40u + 1u) << "the listing, then every link once";
    executor.runAt(executor.waiting() - 1); // zz-near, asked last: it answers
    queue.runPending();
    const auto rows = model.rows();
    ASSERT_EQ(rows.size(), 3u + 2u + 40u + 1u);
    EXPECT_EQ(rows.back().name, "zz-near");
    EXPECT_EQ(rows.back().state, State::folder);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.state == State::notAnswering; }),
              2 + 40);
    settle();
    EXPECT_TRUE(model.everyEntryAnswered());
}

// The listing tells folders and files apart: only links and mount points (which may not answer)
// are asked; a folder is shown as one at once and may be taken before anything answers.
TEST_F(FolderChooserModelTest, OnlyWhatTheListingDidNotTellIsAsked) {
    model.setMounts(MountTable::parse("40 1 0:40 / " + (place() / "IMG_2").string() + " rw - nfs4 nas:/photos rw\n"));
    model.openFolder(place());
    executor.runAt(0);
    queue.runPending();
    EXPECT_EQ(executor.waiting(), 3u) << "a-link, file-link and the mount point IMG_2";
    std::vector<std::string> shown;
    for (const auto& row : model.rows()) shown.push_back(row.name + "=" + FolderChooserModel::typeText(row));
    EXPECT_EQ(shown, (std::vector<std::string>{"b=フォルダ", "IMG_2=フォルダ", "IMG_10=フォルダ"}));
    EXPECT_EQ(model.rows()[0].state, State::folder);
    EXPECT_EQ(model.rows()[1].state, State::asking);
    model.select(0);
    EXPECT_EQ(model.choice(), place() / "b");
}

// Going up, the folder left is chosen in the folder above once it is listed, so that Return or
// 選択 take it and the arrows go on from it; a folder chosen or typed meanwhile wins. A hidden
// folder left is not chosen.
TEST_F(FolderChooserModelTest, GoingUpChoosesTheFolderLeft) {
    model.openFolder(place() / "IMG_2");
    settle();
    model.goUp();
    EXPECT_EQ(model.fieldText(), place().string()) << "the folder above, while it is listed";
    settle();
    EXPECT_EQ(model.folder(), place());
    ASSERT_TRUE(model.selectedRow());
    EXPECT_EQ(model.rows()[*model.selectedRow()].name, "IMG_2");
    EXPECT_EQ(model.fieldText(), (place() / "IMG_2").string());
    EXPECT_EQ(model.choice(), place() / "IMG_2");

    model.openFolder(place() / "b");
    settle();
    model.goUp();
    model.edit("IMG_10");
    settle();
    EXPECT_FALSE(model.selectedRow()) << "what was typed meanwhile wins";
    EXPECT_EQ(model.fieldText(), "IMG_10");

    model.openFolder(place() / ".hidden");
    settle();
    model.goUp();
    settle();
    EXPECT_FALSE(model.selectedRow());
    EXPECT_EQ(model.choice(), place());
}

// A chooser closed asks nothing more: the listing, the links and a typed path that answer after
// change nothing, and their waits end without a word.
TEST_F(FolderChooserModelTest, AChooserThatStoppedAskingHearsNothingMore) {
    model.openFolder(place());
    executor.runAt(0);
    queue.runPending();
    model.edit((place() / "IMG_2").string());
    const std::size_t out = executor.waiting();
    ASSERT_EQ(out, 3u) << "two links and the typed path";
    model.stopAsking();
    const int changesBefore = changes;
    const auto rowsBefore = model.rows();
    queue.advance(FolderChooserModel::kAnswerWait + 0.01);
    settle();
    EXPECT_EQ(changes, changesBefore);
    EXPECT_EQ(model.rows(), rowsBefore);
    EXPECT_EQ(model.status(), "");
    EXPECT_FALSE(model.choice());

    FolderChooserModel listing{probe, root.path(), [this] { ++changes; }};
    listing.openFolder(place());
    listing.stopAsking();
    const int listingChanges = changes;
    queue.advance(FolderChooserModel::kAnswerWait + 0.01);
    settle();
    EXPECT_EQ(changes, listingChanges);
    EXPECT_EQ(listing.listingState(), State::asking);
}

// A typed path is asked in the background: nothing is taken before its answer, a path that is no
// folder or does not answer says so, and Return opens a typed folder once it answered.
TEST_F(FolderChooserModelTest, ATypedPathIsTakenOnceItAnsweredAsAFolder) {
    model.openFolder(place());
    settle();
    model.edit((place() / "photo.jpg").string());
    EXPECT_FALSE(model.choice());
    settle();
    EXPECT_FALSE(model.choice());
    EXPECT_EQ(model.status(), "フォルダが見つかりません");

    model.edit((place() / "b/").string()); // held: no answer in time
    queue.advance(FolderChooserModel::kAnswerWait + 0.01);
    EXPECT_FALSE(model.choice());
    EXPECT_EQ(model.status(), "フォルダが応答しません");
    settle();
    EXPECT_EQ(model.choice(), place() / "b");
    EXPECT_EQ(model.status(), "");

    model.edit("IMG_2"); // a name in the folder shown
    model.enter();
    EXPECT_EQ(model.folder(), place()) << "not before the answer";
    settle();
    EXPECT_EQ(model.folder(), place() / "IMG_2");
    EXPECT_FALSE(model.accepted()) << "a typed folder is opened, not taken";

    model.edit("~");
    settle();
    EXPECT_EQ(model.choice(), root.path());
    model.edit((place() / "IMG_2").string()); // the folder shown: no question
    EXPECT_EQ(executor.waiting(), 0u);
    EXPECT_EQ(model.choice(), place() / "IMG_2");
}

// A folder that does not answer or cannot be read is said so and cannot be taken.
TEST_F(FolderChooserModelTest, AFolderThatDoesNotAnswerCannotBeTaken) {
    model.openFolder(place());
    queue.advance(FolderChooserModel::kAnswerWait + 0.01);
    EXPECT_EQ(model.listingState(), State::notAnswering);
    EXPECT_EQ(model.status(), "フォルダが応答しません");
    EXPECT_FALSE(model.choice());
    settle(); // it answers late: the listing is shown
    EXPECT_EQ(model.choice(), place());
    EXPECT_EQ(model.rows().size(), 4u);

    model.openFolder(place() / "gone");
    settle();
    EXPECT_EQ(model.status(), "フォルダが見つかりません");
    EXPECT_FALSE(model.choice());
    EXPECT_TRUE(model.rows().empty());
}

// Return in the field takes the folder it stands for once the disk said it is one: at once when
// listed, kept while its listing is out, and past the deadline too, for a disk slow on every call
// answers after it; meanwhile the line under the list says what they wait for.
TEST_F(FolderChooserModelTest, ReturnTakesTheFolderOnceItAnswered) {
    model.openFolder(place());
    model.enter();
    EXPECT_FALSE(model.accepted());
    EXPECT_EQ(model.status(), "フォルダの応答を待っています…");
    settle();
    EXPECT_EQ(model.accepted(), place());

    // Return after the deadline, then Return while the listing is out and no answer in time: the
    // late listing is taken all the same.
    for (const bool beforeTheDeadline : {false, true}) {
        SCOPED_TRACE(beforeTheDeadline ? "Return before the deadline" : "Return after it");
        FolderChooserModel slow{probe, root.path(), [] {}};
        slow.openFolder(place() / "IMG_2");
        if (beforeTheDeadline) slow.enter();
        queue.advance(FolderChooserModel::kAnswerWait + 0.01);
        if (!beforeTheDeadline) {
            EXPECT_EQ(slow.status(), "フォルダが応答しません");
            slow.enter();
        }
        EXPECT_EQ(slow.status(), "フォルダが応答しません。応答を待っています…");
        EXPECT_FALSE(slow.accepted());
        settle();
        EXPECT_EQ(slow.accepted(), place() / "IMG_2");
    }

    // A typed folder: Return opens it once it answered, 選択 takes it; a path that answers as no
    // folder drops them, and says so.
    model.openFolder(place());
    settle();
    model.edit((place() / "b").string());
    queue.advance(FolderChooserModel::kAnswerWait + 0.01);
    EXPECT_TRUE(model.canAccept()) << "選択 is kept for the answer";
    model.enter();
    EXPECT_EQ(model.status(), "フォルダが応答しません。応答を待っています…");
    settle();
    EXPECT_EQ(model.folder(), place() / "b");
    FolderChooserModel chosen{probe, root.path(), [] {}};
    chosen.openFolder(place());
    settle();
    chosen.edit((place() / "IMG_10").string());
    chosen.accept();
    EXPECT_EQ(chosen.status(), "フォルダの応答を待っています…");
    settle();
    EXPECT_EQ(chosen.accepted(), place() / "IMG_10");
    chosen.edit((place() / "photo.jpg").string());
    chosen.accept();
    settle();
    EXPECT_EQ(chosen.status(), "フォルダが見つかりません");
    EXPECT_FALSE(chosen.canAccept());

    FolderChooserModel row{probe, root.path(), [] {}};
    row.openFolder(place());
    settle();
    row.select(1);
    row.enter();
    EXPECT_EQ(row.accepted(), place() / "b") << "the row the field stands for";
}

// Where files are listed (the save panel), they are rows that say what they are, asked nothing;
// a link to a file shows once it answered. A file is never opened nor taken.
TEST_F(FolderChooserModelTest, TheSavePanelListsFilesByWhatTheyAre) {
    std::ofstream(place() / "b.HEIF") << "x";
    std::ofstream(place() / "notes.txt") << "x";
    FolderChooserModel files{probe, root.path(), [] {}, true};
    files.openFolder(place());
    executor.runAt(0);
    queue.runPending();
    EXPECT_EQ(executor.waiting(), 2u) << "the links are asked, the folders and files not";
    settle();
    std::vector<std::string> shown;
    for (const auto& row : files.rows()) shown.push_back(row.name + "=" + FolderChooserModel::typeText(row));
    EXPECT_EQ(shown, (std::vector<std::string>{"a-link=フォルダ", "b=フォルダ", "b.HEIF=HEIF 画像", "file-link=ファイル",
                                               "IMG_2=フォルダ", "IMG_10=フォルダ", "notes.txt=ファイル",
                                               "photo.jpg=JPEG 画像"}));
    files.select(2);
    EXPECT_FALSE(files.choice());
    files.openRow(2);
    EXPECT_EQ(files.folder(), place());
}

// A folder's listing fills every row at once; an entry that answers later changes its own row
// alone.
TEST_F(FolderChooserModelTest, AnEntryThatAnswersChangesItsRowAlone) {
    model.openFolder(place());
    EXPECT_TRUE(model.takeRowChanges().all);
    executor.runAt(0); // the listing
    queue.runPending();
    EXPECT_TRUE(model.takeRowChanges().all);
    executor.runAt(0); // a-link, a link to a folder
    queue.runPending();
    const auto changes = model.takeRowChanges();
    EXPECT_FALSE(changes.all);
    ASSERT_EQ(changes.entries.size(), 1u);
    EXPECT_EQ(model.entryRow(changes.entries[0])->name, "a-link");
    settle();
    EXPECT_FALSE(model.takeRowChanges().all);
}

// The places: home, the computer, then each volume mounted under /media, /run/media and /mnt,
// once however often mounted there, by name; shares are told from drives. Other mounts are not
// places.
TEST(FolderChooserPlaces, AreTheVolumesMountedWhereTheSystemPutsThem) {
    const MountTable table = MountTable::parse(
        "20 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "21 20 0:5 / /proc rw - proc proc rw\n"
        "22 20 8:17 / /media/anna/CARD rw - vfat /dev/sdb1 rw\n"
        "23 20 0:40 / /mnt/nas rw - nfs4 nas:/photos rw\n"
        "24 20 8:33 / /run/media/anna/EOS\\040DIGITAL rw - exfat /dev/sdc1 rw\n"
        "25 20 8:18 / /media/anna/CARD rw - vfat /dev/sdb2 rw\n"
        "26 20 0:41 / /mnt rw - tmpfs tmpfs rw\n"
        "27 20 0:42 / /media2/x rw - ext4 /dev/sdd1 rw\n");
    using Kind = FolderChooserModel::PlaceKind;
    EXPECT_EQ(FolderChooserModel::volumePlaces(table),
              (std::vector<FolderChooserModel::Place>{{"CARD", "/media/anna/CARD", Kind::volume},
                                                      {"EOS DIGITAL", "/run/media/anna/EOS DIGITAL", Kind::volume},
                                                      {"nas", "/mnt/nas", Kind::share}}));
}

} // namespace
} // namespace sorvin::test
