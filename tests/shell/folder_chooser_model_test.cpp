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
    for (const auto& row : model.rows()) EXPECT_EQ(FolderChooserModel::typeText(row.state), "フォルダ");

    model.select(1);
    EXPECT_EQ(model.choice(), place() / "b");
    EXPECT_EQ(model.fieldText(), (place() / "b").string());
    model.enter();
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

// One entry whose disk does not answer (its worker held): the others are shown, it is marked after
// the wait and cannot be taken, and at most a few entries are asked at once.
TEST_F(FolderChooserModelTest, AnEntryThatDoesNotAnswerIsMarkedAndTheOthersShown) {
    for (int index = 0; index < 12; ++index) std::filesystem::create_directories(place() / ("more" + std::to_string(index)));
    model.openFolder(place());
    executor.runAt(0); // the listing
    queue.runPending();
    EXPECT_EQ(executor.waiting(), FolderChooserModel::kEntriesAskedAtOnce);
    // Asked in name order: a-link, b, file-link and IMG_2 answer; IMG_10 stalls, the rest answer.
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
        return static_cast<std::size_t>(std::find(shown.begin(), shown.end(), "IMG_10") - shown.begin());
    };
    answerAllButTheFirst();
    queue.advance(FolderChooserModel::kAnswerWait * 0.9);
    EXPECT_EQ(model.rows().at(stalledRow()).state, State::asking);
    queue.advance(FolderChooserModel::kAnswerWait * 0.2);
    answerAllButTheFirst();
    const auto rows = model.rows();
    const std::size_t stalled = stalledRow();
    ASSERT_EQ(rows.size(), 16u) << "every folder shown";
    EXPECT_EQ(rows[stalled].state, State::notAnswering);
    EXPECT_EQ(FolderChooserModel::typeText(rows[stalled].state), "応答なし");
    for (std::size_t row = 0; row < rows.size(); ++row) {
        if (row == stalled) continue;
        EXPECT_EQ(rows[row].state, State::folder) << rows[row].name;
    }
    model.select(stalled);
    EXPECT_FALSE(model.choice()) << "a folder that does not answer is not taken";
    // It answers at last.
    settle();
    EXPECT_EQ(model.rows()[stalled].state, State::folder);
    EXPECT_EQ(model.choice(), place() / "IMG_10");
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

} // namespace
} // namespace sorvin::test
