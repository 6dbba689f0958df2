// Questions to the disk asked off the main thread with a time limit.

#include "platform/folder_probe.hpp"
#include "support/manual_main_queue.hpp"
#include "support/named_disks.hpp"
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
// not there says why. Asked, a path is a folder, something else, or missing (a link to nothing, a
// path through a file); links are followed, however they are spelt.
TEST(FolderProbe, AListingTellsFoldersAndFilesAndLeavesLinksToBeAsked) {
    TemporaryFolder root;
    std::filesystem::create_directories(root.path() / "trip" / "day");
    std::ofstream(root.path() / "photo.jpg") << "x";
    std::filesystem::create_directory_symlink(root.path() / "trip", root.path() / "link");
    FolderProbeListing listing = FolderProbeDisk::readListing(root.path());
    EXPECT_FALSE(listing.error);
    std::map<std::string, std::pair<bool, bool>> entries;
    for (const FolderProbeEntry& entry : listing.entries)
        entries[entry.name] = {entry.listedAsFolder, entry.listedAsFile};
    EXPECT_EQ(entries, (std::map<std::string, std::pair<bool, bool>>{
                           {"link", {false, false}}, {"photo.jpg", {false, true}}, {"trip", {true, false}}}));
    std::filesystem::create_symlink(root.path() / "gone", root.path() / "dangling");
    std::filesystem::create_directory_symlink("trip/../trip/day", root.path() / "relative");
    std::filesystem::create_symlink("loop", root.path() / "loop");

    ManualMainQueue queue;
    ManualExecutor executor;
    FolderProbe probe(queue, executor);
    std::map<std::string, std::optional<FolderProbePathKind>> kinds;
    std::vector<FolderProbe::Question> questions;
    for (const char* name : {"link", "photo.jpg", "dangling", "relative", "loop", "photo.jpg/x", "link/day/../day", "trip/day"})
        questions.push_back(probe.kindOf(root.path() / name, 1, [&kinds, name](auto kind) { kinds[name] = kind; }));
    std::map<std::string, std::optional<FolderProbeListing>> listings;
    for (const char* name : {"gone", "photo.jpg", "link"})
        questions.push_back(probe.list(root.path() / name, 1, [&listings, name](auto listed) { listings[name] = listed; }));
    for (int round = 0; round < 100 && (executor.waiting() > 0 || queue.pendingCount() > 0); ++round) {
        executor.runAll();
        queue.runPending();
    }
    using Kind = FolderProbePathKind;
    EXPECT_EQ(kinds, (std::map<std::string, std::optional<Kind>>{{"link", Kind::folder},
                                                                 {"photo.jpg", Kind::other},
                                                                 {"dangling", Kind::missing},
                                                                 {"relative", Kind::folder},
                                                                 {"loop", Kind::missing},
                                                                 {"photo.jpg/x", Kind::missing},
                                                                 {"link/day/../day", Kind::folder},
                                                                 {"trip/day", Kind::folder}}));
    ASSERT_EQ(listings.size(), 3u);
    EXPECT_EQ(listings["gone"]->error, std::errc::no_such_file_or_directory);
    EXPECT_EQ(listings["photo.jpg"]->error, std::errc::not_a_directory);
    EXPECT_FALSE(listings["link"]->error);
    ASSERT_EQ(listings["link"]->entries.size(), 1u);
    EXPECT_EQ(listings["link"]->entries[0].name, "day");
}

bool isUnder(const std::filesystem::path& path, const std::filesystem::path& folder) {
    const auto inside = path.lexically_relative(folder);
    return !inside.empty() && *inside.begin() != "..";
}

// A link lies on one disk and points into another: it is read among the questions of its own
// disk, and what it points to is asked among those of the other, the share. Only the share's calls
// wait there; a question that ends on the local disk never goes there.
TEST(FolderProbe, ALinkIsFollowedAmongTheQuestionsOfTheDiskItPointsTo) {
    TemporaryFolder root;
    constexpr DiskId kLocal = 1, kShare = 2;
    std::filesystem::create_directories(root.path() / "share" / "trip");
    std::filesystem::create_directories(root.path() / "local" / "day");
    std::filesystem::create_directory_symlink(root.path() / "share" / "trip", root.path() / "local" / "link");
    std::filesystem::create_directory_symlink("day", root.path() / "local" / "near");
    auto disk = std::make_shared<NamedDisks>(
        [share = root.path() / "share"](const std::filesystem::path& path) { return isUnder(path, share) ? kShare : kLocal; });
    ManualMainQueue queue;
    ManualExecutor executor;
    FolderProbe probe(queue, executor, disk);
    std::optional<bool> link, near;
    auto a = probe.isFolder(root.path() / "local" / "link", 5, [&](std::optional<bool> answer) { link = answer; });
    auto b = probe.isFolder(root.path() / "local" / "near", 5, [&](std::optional<bool> answer) { near = answer; });
    ASSERT_EQ(executor.waiting(), 2u);
    EXPECT_EQ(executor.job(0).disk, kLocal);
    EXPECT_EQ(executor.job(1).disk, kLocal);
    executor.runAt(1);
    queue.runPending();
    EXPECT_EQ(near, true) << "a link to a folder beside it";
    executor.runAt(0);
    queue.runPending();
    EXPECT_FALSE(link) << "the share did not answer yet";
    ASSERT_EQ(executor.waiting(), 1u);
    EXPECT_EQ(executor.job(0).disk, kShare) << "what the link points to is asked of the share";
    for (const auto& call : disk->calls()) EXPECT_FALSE(isUnder(call, root.path() / "share")) << call;
    const std::size_t localCalls = disk->calls().size();
    executor.runAt(0);
    queue.runPending();
    EXPECT_EQ(link, true);
    const auto calls = disk->calls();
    for (std::size_t call = localCalls; call < calls.size(); ++call)
        EXPECT_TRUE(isUnder(calls[call], root.path() / "share")) << calls[call];
}

// Each call of a question on a share slow on every call answers within the wait, the whole question
// takes longer: the question is not said to go unanswered, since the wait counts from the disk's
// last answer. Once the share stops, it is, a wait after its last answer.
TEST(FolderProbe, TheWaitCountsFromTheDisksLastAnswer) {
    TemporaryFolder root;
    std::filesystem::create_directories(root.path() / "a" / "b" / "c" / "d");
    // Every folder on a disk of its own: each call of the walk waits for the test.
    auto disk = NamedDisks::folderByFolder();
    ManualMainQueue queue;
    ManualExecutor executor;
    FolderProbe probe(queue, executor, disk);
    std::vector<std::optional<bool>> heard;
    auto question = probe.isFolder(root.path() / "a" / "b" / "c" / "d", 0.5, [&](std::optional<bool> answer) { heard.push_back(answer); });
    for (int call = 0; call < 5; ++call) {
        queue.advance(0.4);
        ASSERT_EQ(executor.waiting(), 1u);
        executor.runAt(0);
        queue.runPending();
    }
    EXPECT_TRUE(heard.empty()) << "2 s in all, each call within 0.4 s";
    queue.advance(0.49);
    EXPECT_TRUE(heard.empty());
    queue.advance(0.02);
    EXPECT_EQ(heard, (std::vector<std::optional<bool>>{std::nullopt})) << "the share stopped: said so";
    for (int round = 0; round < 20 && executor.waiting() > 0; ++round) {
        executor.runAll();
        queue.runPending();
    }
    EXPECT_EQ(heard, (std::vector<std::optional<bool>>{std::nullopt, true})) << "and it answers late";
}

// A question cancelled before its walk ran asks the disk nothing: the walk gives up. Asked again,
// the path is walked afresh; asked again before the walk gave up, the walk goes on for it.
TEST(FolderProbe, AQuestionNobodyWaitsForAsksTheDiskNothing) {
    TemporaryFolder root;
    auto disk = std::make_shared<NamedDisks>([](const std::filesystem::path&) { return DiskId{1}; });
    ManualMainQueue queue;
    ManualExecutor executor;
    FolderProbe probe(queue, executor, disk);
    auto left = probe.isFolder(root.path(), 0.5, [](std::optional<bool>) {});
    left.cancel();
    executor.runAll();
    queue.runPending();
    EXPECT_TRUE(disk->calls().empty()) << "a question nobody waits for";
    std::optional<bool> again;
    auto asked = probe.isFolder(root.path(), 0.5, [&](std::optional<bool> answer) { again = answer; });
    EXPECT_EQ(executor.started(), 2u) << "walked afresh";
    asked.cancel();
    asked = probe.isFolder(root.path(), 0.5, [&](std::optional<bool> answer) { again = answer; });
    EXPECT_EQ(executor.started(), 2u) << "the walk still out goes on";
    executor.runAll();
    queue.runPending();
    EXPECT_EQ(again, true);
}

} // namespace
} // namespace sorvin::test
