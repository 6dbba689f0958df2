// Questions to the disk asked off the main thread with a time limit.

#include "platform/folder_probe.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <utility>
#include <memory>
#include <optional>
#include <vector>

namespace sorvin::test {
namespace {

// A worker that does not come back says nothing until the wait is over, then "no answer"; its
// answer still comes when it does. A second question for the same path waits for the same worker,
// however the path is spelt; another path gets a worker of its own.
TEST(FolderProbe, ADiskThatDoesNotAnswerHoldsOneWorkerAndAnswersLate) {
    TemporaryFolder root;
    ManualMainQueue queue;
    ManualExecutor executor;
    FolderProbe probe(queue, executor);
    std::vector<std::optional<bool>> first, second, other;
    auto a = probe.isFolder(root.path(), 0.5, [&](std::optional<bool> answer) { first.push_back(answer); });
    queue.advance(0.3);
    auto b = probe.isFolder(root.path() / "", 0.5, [&](std::optional<bool> answer) { second.push_back(answer); });
    auto c = probe.isFolder(root.path() / "gone", 0.5, [&](std::optional<bool> answer) { other.push_back(answer); });
    EXPECT_EQ(executor.started(), 2u) << "one worker per path";
    queue.advance(0.19);
    EXPECT_TRUE(first.empty());
    queue.advance(0.02);
    EXPECT_EQ(first, (std::vector<std::optional<bool>>{std::nullopt}));
    EXPECT_TRUE(second.empty()) << "each question has its own wait";
    executor.runAt(0); // the disk answers late
    queue.runPending();
    EXPECT_EQ(first, (std::vector<std::optional<bool>>{std::nullopt, true}));
    EXPECT_EQ(second, (std::vector<std::optional<bool>>{true}));
    executor.runAll();
    queue.advance(1);
    EXPECT_EQ(other, (std::vector<std::optional<bool>>{false}));
    // Answered, the path is asked afresh.
    auto d = probe.isFolder(root.path(), 0.5, [](std::optional<bool>) {});
    EXPECT_EQ(executor.started(), 3u);
}

// A question dropped hears nothing more, and a worker that comes back after the probe is gone
// posts nothing.
TEST(FolderProbe, NothingComesOfAQuestionDroppedOrOfAProbeGone) {
    TemporaryFolder root;
    ManualMainQueue queue;
    ManualExecutor executor;
    int heard = 0;
    {
        FolderProbe probe(queue, executor);
        auto dropped = probe.isFolder(root.path(), 0.5, [&](std::optional<bool>) { ++heard; });
        dropped.cancel();
        EXPECT_FALSE(dropped.isOut());
        queue.advance(1);
        executor.runAll();
        queue.runPending();
        EXPECT_EQ(heard, 0);
        auto left = probe.list(root.path(), 0.5, [&](std::optional<FolderProbeListing>) { ++heard; });
        left = probe.isFolder(root.path(), 0.5, [&](std::optional<bool>) { ++heard; }); // replaced: dropped
    }
    executor.runAll();
    EXPECT_EQ(queue.pendingCount(), 0u);
    queue.advance(1);
    EXPECT_EQ(heard, 0);
}

// A listing names folders and files without asking each entry, links to be asked; a folder that is
// not there says why. Asked, a path is a folder, something else, or missing (a link to nothing
// too).
TEST(FolderProbe, AListingTellsFoldersAndFilesAndLeavesLinksToBeAsked) {
    TemporaryFolder root;
    std::filesystem::create_directories(root.path() / "trip");
    std::ofstream(root.path() / "photo.jpg") << "x";
    std::filesystem::create_directory_symlink(root.path() / "trip", root.path() / "link");
    FolderProbeListing listing = FolderProbe::readListing(root.path());
    EXPECT_FALSE(listing.error);
    std::map<std::string, std::pair<bool, bool>> entries;
    for (const FolderProbeEntry& entry : listing.entries)
        entries[entry.name] = {entry.listedAsFolder, entry.listedAsFile};
    EXPECT_EQ(entries, (std::map<std::string, std::pair<bool, bool>>{
                           {"link", {false, false}}, {"photo.jpg", {false, true}}, {"trip", {true, false}}}));
    std::filesystem::create_symlink(root.path() / "gone", root.path() / "dangling");
    EXPECT_EQ(FolderProbe::readKind(root.path() / "link"), FolderProbePathKind::folder);
    EXPECT_EQ(FolderProbe::readKind(root.path() / "photo.jpg"), FolderProbePathKind::other);
    EXPECT_EQ(FolderProbe::readKind(root.path() / "dangling"), FolderProbePathKind::missing);

    EXPECT_EQ(FolderProbe::readListing(root.path() / "gone").error, std::errc::no_such_file_or_directory);
    EXPECT_EQ(FolderProbe::readListing(root.path() / "photo.jpg").error, std::errc::not_a_directory);
}

} // namespace
} // namespace sorvin::test
