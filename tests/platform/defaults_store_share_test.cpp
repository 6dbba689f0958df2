// The preferences in a folder deep inside a share whose every call reaches it (a FUSE pass-through
// that caches nothing), as a home on a far share or a cloud drive keeps them.

#include "platform/atomic_file.hpp"
#include "platform/defaults_store.hpp"
#include "support/slow_share.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

class DefaultsStoreShareTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(source / "home" / "user" / ".config");
        if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    }

    static std::string joined(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& line : lines)
            text += line + "\n";
        return text;
    }
    nlohmann::json written() const { return nlohmann::json::parse(AtomicFile::read(sourceFile)); }

    test::TemporaryFolder root;
    fs::path source = root / "shared";
    test::SlowShare share{source, root / "share"};
    fs::path file = share.path() / "home" / "user" / ".config" / "Sorvin" / "preferences.json";
    fs::path sourceFile = source / "home" / "user" / ".config" / "Sorvin" / "preferences.json";
};

// A write once the first of the run is made asks the share about the folders on the way to the
// preferences once, not again at every call; it reads nothing when the file is still the one this
// copy wrote. Another copy's write is still read and kept.
TEST_F(DefaultsStoreShareTest, AWriteAsksTheShareAboutTheWayOnceAndReadsNothingOfItsOwn) {
    DefaultsStore store(file);
    store.set("first", 1); // makes the folder and looks for leftovers, once a run
    store.waitUntilWritten();
    ASSERT_FALSE(store.writeError());

    share.clearCallLog();
    store.set("second", 2);
    store.waitUntilWritten();
    ASSERT_FALSE(store.writeError());
    const auto calls = share.callLog();
    // The kernel asks a share that caches nothing about a folder once or twice on each walk: before,
    // each of about fifteen calls walked the way again (some 100 calls in all).
    const auto onTheWay = std::ranges::count_if(
        calls, [](const std::string& call) { return call.find("/Sorvin") == std::string::npos; });
    EXPECT_LE(onTheWay, 2 * 4) << joined(calls);
    EXPECT_LE(calls.size(), 45u) << joined(calls);
    EXPECT_EQ(std::ranges::count_if(calls, [](const std::string& call) { return call.starts_with("read "); }),
              0)
        << joined(calls);

    {
        DefaultsStore other(file);
        other.set("other", 3);
    }
    store.set("third", 4);
    store.waitUntilWritten();
    EXPECT_EQ(written(), nlohmann::json::parse(R"({"first": 1, "second": 2, "other": 3, "third": 4})"));
}

// Two copies writing at once on a share slow on every call: the one that waits for the other's
// lock waits as long as a write takes on that share, and neither write fails.
TEST_F(DefaultsStoreShareTest, TwoCopiesWritingAtOnceOnASlowShareBothWrite) {
    DefaultsStore first(file);
    DefaultsStore second(file);
    first.set("first", 0);
    first.waitUntilWritten();
    share.answerEachAfter(std::chrono::milliseconds(150));
    first.set("first", 1);
    second.set("second", 2);
    first.waitUntilWritten();
    second.waitUntilWritten();
    share.answerEachAfter(std::chrono::milliseconds(0));
    EXPECT_FALSE(first.writeError());
    EXPECT_FALSE(second.writeError());
    EXPECT_EQ(written(), nlohmann::json::parse(R"({"first": 1, "second": 2})"));
}

// The folder of the preferences removed while the program runs (a home cleaned up, a share
// mounted again) is made again at the next write, which lands in it.
TEST_F(DefaultsStoreShareTest, AFolderRemovedMeanwhileIsMadeAgain) {
    DefaultsStore store(file);
    store.set("first", 1);
    store.waitUntilWritten();
    fs::remove_all(sourceFile.parent_path());
    store.set("second", 2);
    store.waitUntilWritten();
    EXPECT_FALSE(store.writeError());
    // Nothing there: what this copy changed since is what the folder gets.
    EXPECT_EQ(written(), nlohmann::json::parse(R"({"second": 2})"));
}

} // namespace
} // namespace sorvin
