// The folder's record on a share (a FUSE pass-through whose calls can be slowed, and whose link()
// can be refused) that can neither exchange two names nor rename without replacing, as FUSE 2 file
// systems and many shares cannot.

#include "persistence/selection_store.hpp"
#include "support/slow_share.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fmt/format.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

class SelectionStoreShareTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(source / "2024");
        if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    }

    // The photos in a folder of the share, as a share mounted whole shows them.
    fs::path photos() const { return share.path() / "2024"; }
    fs::path record() const { return source / "2024" / "sorvin.json"; }
    SelectionStore store() const { return SelectionStore(photos(), root / "support"); }

    static void saveHearts(SelectionStore& store, const std::set<std::string>& hearts) {
        SelectionSaveValues values;
        for (const auto& path : hearts)
            values.hearts.insert(path);
        EXPECT_FALSE(store.save(values, {})) << "written in the folder, not to the fallback";
    }
    void writeRecord(const std::string& heart) const {
        std::ofstream(record())
            << R"({"version": 2, "app": "Sorvin", "updatedAt": "x", "photos": {")" << heart
            << R"(": {"heart": true}}})";
    }
    std::vector<std::string> namesInFolder() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(source / "2024"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The calls this thread made since the log was cleared.
    std::vector<test::SlowShare::Call> callsOfThisThread() const {
        std::vector<test::SlowShare::Call> calls = share.calls();
        std::erase_if(calls, [](const auto& call) { return call.thread != ::gettid(); });
        return calls;
    }

    test::TemporaryFolder root;
    fs::path source = root / "shared";
    test::SlowShare share{source, root / "share"};
};

// A file system that renames but answers a link with EROFS or EACCES (exFAT and FAT through their
// FUSE drivers): a save over the record, and a save where there is none, write the folder's
// record, which the next opening reads; nothing is left beside it.
TEST_F(SelectionStoreShareTest, ARecordWhereLinksAreRefusedStaysInTheFolder) {
    for (const int refusal : {EROFS, EACCES}) {
        SCOPED_TRACE(std::strerror(refusal));
        share.refuseLinks(refusal);
        writeRecord("start.jpg");
        auto s = store();
        EXPECT_EQ(s.load().hearts, std::set<std::string>{"start.jpg"});
        saveHearts(s, {"start.jpg", "mine.jpg"});
        saveHearts(s, {"mine.jpg"});
        EXPECT_EQ(namesInFolder(), std::vector<std::string>{"sorvin.json"});
        EXPECT_EQ(store().load().hearts, std::set<std::string>{"mine.jpg"});

        fs::remove(record());
        auto fresh = store();
        fresh.load();
        saveHearts(fresh, {"new.jpg"});
        EXPECT_EQ(namesInFolder(), std::vector<std::string>{"sorvin.json"});
        EXPECT_EQ(store().load().hearts, std::set<std::string>{"new.jpg"});
        fs::remove(record());
    }
}

// While a save replaces the record, between moving it aside and placing the new one, the folder
// has no record: on a share whose every call is slow, that lasts as long as the calls made
// between. They are no more than the calls of placing the new file alone take on this share (a
// link, or where links are refused, a look at the free name and a rename, each asked relative to
// the folder): nothing the share refused at an earlier save is asked again, nor the folders on the
// way to the record.
TEST_F(SelectionStoreShareTest, TheRecordIsAbsentOnlyForTheCallsThatPlaceTheNewOne) {
    const int folder = ::open(photos().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    for (const int refusal : {0, EROFS}) {
        SCOPED_TRACE(refusal == 0 ? "links made" : "links refused");
        share.refuseLinks(refusal);
        writeRecord("start.jpg");
        auto s = store();
        s.load();
        saveHearts(s, {"start.jpg", "first.jpg"});

        // The calls of placing a file alone.
        std::ofstream(photos() / "placed") << "x";
        share.clearCallLog();
        if (refusal == 0) {
            ASSERT_EQ(::linkat(folder, "placed", folder, "placed-too", 0), 0);
        } else {
            struct stat there {};
            ASSERT_NE(::fstatat(folder, "placed-too", &there, 0), 0);
            ASSERT_EQ(::renameat(folder, "placed", folder, "placed-too"), 0);
        }
        const std::size_t placing = callsOfThisThread().size();
        fs::remove(photos() / "placed");
        fs::remove(photos() / "placed-too");

        share.clearCallLog();
        saveHearts(s, {"start.jpg", "first.jpg", "second.jpg"});
        const auto calls = callsOfThisThread();
        const auto movedAside = std::find_if(calls.begin(), calls.end(), [](const auto& call) {
            return call.op == "rename" && call.path == "/2024/sorvin.json";
        });
        ASSERT_NE(movedAside, calls.end()) << "the record is moved aside";
        const auto placed = std::find_if(movedAside, calls.end(), [](const auto& call) {
            return (call.op == "rename" || call.op == "link") && call.path.starts_with("/2024/sorvin.json.tmp-");
        });
        ASSERT_NE(placed, calls.end()) << "the new record is placed";
        EXPECT_EQ(placed->op, refusal == 0 ? "link" : "rename");
        std::string window;
        for (auto call = std::next(movedAside); call != std::next(placed); ++call)
            window += " " + call->op + " " + call->path + ";";
        EXPECT_LE(static_cast<std::size_t>(std::distance(movedAside, placed)), placing)
            << "between moving aside and placing:" << window;
        EXPECT_EQ(store().load().hearts, (std::set<std::string>{"first.jpg", "second.jpg", "start.jpg"}));
        EXPECT_EQ(namesInFolder(), std::vector<std::string>{"sorvin.json"});
        fs::remove(record());
    }
    ::close(folder);
}

} // namespace
} // namespace sorvin
