// How the records that copies of the program write meet: by every path a record reaches a copy
// (another writer's record at the name, a record exchanged out, the fallback, files beside the
// record of this version and of earlier ones), starting from a record of the earlier format, which
// notes no stamps, and from a stamped one. No change of either side is lost.

#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_stamps.hpp"
#include "persistence/selection_store.hpp"
#include "platform/atomic_file.hpp"
#include "support/test_support.hpp"

#include <fmt/format.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using Hearts = std::set<std::string>;

// The real file system, but for a folder record the share cannot look at while `failing`, a
// folder that refuses writes, and a step right before the next replacement.
class Share : public FileManager {
public:
    bool failing = false;
    std::optional<fs::path> readOnlyFolder;
    std::function<void()> beforeReplace;

    std::optional<FileVersion> version(const fs::path& path) const override {
        if (failing && path.filename() == "sorvin.json")
            throw std::system_error(std::make_error_code(std::errc::io_error), "look at file");
        return FileManager::version(path);
    }
    AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                    const AtomicFile::Expected& expected) override {
        if (path.parent_path() == readOnlyFolder)
            throw std::system_error(std::make_error_code(std::errc::read_only_file_system), "write");
        if (auto step = std::exchange(beforeReplace, nullptr)) step();
        return FileManager::replace(path, bytes, expected);
    }
};

// The record as a version before stamps wrote it.
std::string earlierRecord(const Hearts& hearts) {
    std::vector<std::string> photos;
    for (const auto& path : hearts)
        photos.push_back(fmt::format("\"{}\": {{\"heart\": true}}", path));
    return fmt::format(R"({{"version": 2, "app": "Sorvin", "updatedAt": "x", "photos": {{{}}}}})",
                       fmt::join(photos, ", "));
}

void save(SelectionStore& store, const Hearts& hearts) {
    SelectionSaveValues values;
    for (const auto& path : hearts)
        values.hearts.insert(path);
    store.save(values, std::chrono::system_clock::time_point{});
}

class SelectionCombineTest : public testing::Test {
protected:
    SelectionCombineTest() { fs::create_directories(folder); }

    SelectionStore store() { return SelectionStore(folder, support, root / "legacy", share); }
    SelectionStore opened() {
        SelectionStore opened = store();
        opened.load();
        return opened;
    }
    // Another copy of this version saves the hearts, or a copy of the earlier version writes its
    // record with them over the record, as it did: renamed in whole, without reading it first.
    void writtenElsewhere(bool stamped, SelectionStore* copy, const Hearts& hearts) {
        if (stamped) {
            save(*copy, hearts);
            return;
        }
        std::ofstream(folder / "incoming") << earlierRecord(hearts);
        fs::rename(folder / "incoming", folder / "sorvin.json");
    }
    void startWith(bool stamped, const Hearts& hearts) {
        auto first = opened();
        writtenElsewhere(stamped, &first, hearts);
    }
    // What the folder's record holds, read without a store (which would take in files beside it).
    Hearts onDisk() const {
        const auto document = SelectionJSONValue::Json::parse(AtomicFile::read(folder / "sorvin.json"));
        const auto hearts = SelectionRecordDecoder::decode(document).hearts;
        return {hearts.begin(), hearts.end()};
    }
    std::vector<std::string> besideTheRecord() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename() != "sorvin.json") names.push_back(entry.path().filename().string());
        return names;
    }

    test::TemporaryFolder root;
    fs::path folder = root / "photos";
    fs::path support = root / "support";
    Share share;
};

const std::vector<std::pair<bool, const char*>> kFormats{{false, "the earlier format"}, {true, "stamped"}};

// A session that opened while the share could not read the record saves its heart beside it; the
// next opening gives that file only the photos it holds. An earlier version's file beside gives
// all it holds too, and nothing else.
TEST_F(SelectionCombineTest, AFileBesideTheRecordGivesOnlyThePhotosItHolds) {
    for (const auto& [stamped, format] : kFormats) {
        SCOPED_TRACE(format);
        fs::remove_all(folder);
        fs::create_directories(folder);
        startWith(stamped, {"a.jpg", "b.jpg", "c.jpg"});
        share.failing = true;
        auto blinking = store();
        EXPECT_EQ(blinking.load().warning, SelectionLoadWarning::unreadableNow);
        save(blinking, {"d.jpg"});
        EXPECT_TRUE(blinking.keptBesideURL());
        share.failing = false;
        std::ofstream(folder / "sorvin.json.conflict-5") << earlierRecord({"b.jpg", "e.jpg"});

        const SelectionLoadResult loaded = store().load();
        const Hearts all{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"};
        EXPECT_TRUE(loaded.tookInConflictFiles);
        EXPECT_EQ(loaded.hearts, all);
        EXPECT_EQ(onDisk(), all);
        EXPECT_TRUE(besideTheRecord().empty());
    }
}

// One copy has the folder open; another, of either version, un-hearts x and hearts y. Its record
// goes over the first copy's base, which in turn un-hearts w and hearts z: each keeps the other's
// changes. A third copy that opened before either saved then hearts v, and brings back nothing
// either of them took away.
TEST_F(SelectionCombineTest, AnotherWritersRecordKeepsBothSidesChanges) {
    for (const auto& [startStamped, start] : kFormats) {
        for (const auto& [otherStamped, other] : kFormats) {
            SCOPED_TRACE(fmt::format("record {}, other copy {}", start, other));
            fs::remove_all(folder);
            fs::create_directories(folder);
            startWith(startStamped, {"w.jpg", "x.jpg"});
            auto here = opened();
            auto there = opened();
            auto late = opened();
            writtenElsewhere(otherStamped, &there, {"w.jpg", "y.jpg"});
            save(here, {"x.jpg", "z.jpg"});
            EXPECT_EQ(onDisk(), (Hearts{"y.jpg", "z.jpg"}));
            save(late, {"w.jpg", "x.jpg", "v.jpg"});
            EXPECT_EQ(onDisk(), (Hearts{"v.jpg", "y.jpg", "z.jpg"}));
        }
    }
}

// Another writer's record renamed in right before this copy's (the moment a check before a rename
// leaves open) is exchanged out, read and combined: a un-hearted and r hearted there, b un-hearted
// and m hearted here.
TEST_F(SelectionCombineTest, ARecordExchangedOutKeepsBothSidesChanges) {
    for (const auto& [startStamped, start] : kFormats) {
        for (const auto& [otherStamped, other] : kFormats) {
            SCOPED_TRACE(fmt::format("record {}, other copy {}", start, other));
            fs::remove_all(folder);
            fs::create_directories(folder);
            startWith(startStamped, {"a.jpg", "b.jpg"});
            auto here = opened();
            SelectionStore there(folder, support, root / "legacy");
            there.load();
            share.beforeReplace = [&, otherStamped = otherStamped] {
                writtenElsewhere(otherStamped, &there, {"b.jpg", "r.jpg"});
            };
            save(here, {"a.jpg", "m.jpg"});
            EXPECT_TRUE(here.combination());
            EXPECT_EQ(onDisk(), (Hearts{"m.jpg", "r.jpg"}));
            EXPECT_TRUE(besideTheRecord().empty());
        }
    }
}

// Saves that went to the fallback while the folder could not be written (a un-hearted, f hearted)
// meet a folder record another copy changed meanwhile (g hearted): the next opening has both.
TEST_F(SelectionCombineTest, TheFallbackKeepsBothSidesChanges) {
    for (const auto& [startStamped, start] : kFormats) {
        for (const auto& [otherStamped, other] : kFormats) {
            SCOPED_TRACE(fmt::format("record {}, other copy {}", start, other));
            fs::remove_all(root.path());
            fs::create_directories(folder);
            startWith(startStamped, {"a.jpg", "b.jpg"});
            auto there = opened();
            share.readOnlyFolder = folder;
            auto readOnly = opened();
            save(readOnly, {"b.jpg", "f.jpg"});
            share.readOnlyFolder.reset();
            writtenElsewhere(otherStamped, &there, {"a.jpg", "b.jpg", "g.jpg"});

            const Hearts all{"b.jpg", "f.jpg", "g.jpg"};
            auto next = store();
            EXPECT_EQ(next.load().hearts, all);
            save(next, all);
            EXPECT_EQ(onDisk(), all);
        }
    }
}

// A change made after taking in another copy's change of the same photo is later than it: the
// other copy, whose counter ran ahead, takes the change rather than writing its own older one back.
TEST_F(SelectionCombineTest, AChangeAfterTakingInAnothersOutranksIt) {
    auto busy = opened();
    auto quiet = opened();
    save(busy, {"q1.jpg"});
    save(busy, {"q1.jpg", "q2.jpg"});
    save(busy, {"q1.jpg", "q2.jpg", "p.jpg"});
    save(quiet, {"mine.jpg"});
    ASSERT_EQ(onDisk(), (Hearts{"mine.jpg", "p.jpg", "q1.jpg", "q2.jpg"}));
    // The quiet copy's window took in p's heart, and the user takes it away again.
    save(quiet, {"mine.jpg", "q1.jpg", "q2.jpg"});
    save(busy, {"q1.jpg", "q2.jpg", "p.jpg", "q3.jpg"});
    EXPECT_EQ(onDisk(), (Hearts{"mine.jpg", "q1.jpg", "q2.jpg", "q3.jpg"}));
}

// Stamps whose counters leave no room (the end of the 64-bit range, or past 2^62) are damaged:
// they neither wrap this copy's counter round to zero nor outrank its later changes.
TEST_F(SelectionCombineTest, CountersThatLeaveNoRoomOutrankNothing) {
    std::ofstream(folder / "sorvin.json") << R"({"version": 2, "app": "Sorvin", "updatedAt": "x",
        "photos": {"end.jpg": {"heart": true}, "limit.jpg": {"heart": true}},
        "stamps": {"end.jpg": [18446744073709551615, "ffffffffffff"],
                   "limit.jpg": [4611686018427387904, "ffffffffffff"]}})";
    auto here = opened();
    auto there = opened();
    save(here, {"here.jpg"});
    save(there, {"end.jpg", "limit.jpg", "there.jpg"});
    EXPECT_EQ(onDisk(), (Hearts{"here.jpg", "there.jpg"}));
}

// The stamps of photos set back to their defaults stay while the photos are in the folder (an
// older record would bring their values back), and go once they are neither there nor in the
// record, so that the member never outgrows the folder and the record.
TEST_F(SelectionCombineTest, StampsOfPhotosGoneFromTheFolderAndTheRecordAreDropped) {
    auto here = store();
    here.setFolderPhotos({"b.jpg", "a.jpg"});
    here.load();
    save(here, {"a.jpg", "b.jpg", "gone.jpg"});
    save(here, {"a.jpg"});
    const auto document = SelectionJSONValue::Json::parse(AtomicFile::read(folder / "sorvin.json"));
    SelectionStamps stamps = SelectionStamping::read(document);
    EXPECT_TRUE(stamps.contains("a.jpg"));
    EXPECT_TRUE(stamps.contains("b.jpg"));
    EXPECT_FALSE(stamps.contains("gone.jpg"));
}

} // namespace
} // namespace sorvin
