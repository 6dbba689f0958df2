#include "persistence/selection_store.hpp"
#include "persistence/selection_record_decoder.hpp"
#include "persistence/selection_store_error.hpp"
#include "platform/atomic_file.hpp"
#include "platform/sha256.hpp"
#include "support/scoped_environment.hpp"
#include "support/held_writes.hpp"
#include "support/selection_values.hpp"
#include "support/test_support.hpp"

#include <cstring>
#include <fmt/format.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

// The real file system, except for folders that refuse writes and moves that fail, as a
// read-only or locked folder would, whoever runs the tests.
class ControlledFiles : public FileManager {
public:
    std::set<fs::path> unwritableFolders;
    bool movesFail = false;
    bool readsRunOutOfMemory = false;
    // The error the next reads fail with (as through a share), and how many of them do.
    std::errc readsFailWith{};
    mutable int failingReads = 0;
    // Runs after each read, before the store looks at what it read.
    std::function<void(const fs::path&)> afterRead;
    // Looks at the status of a file and at its folder's listing that fail (ENOENT: the name seems
    // absent, as while another file is renamed over it through a share), and how many of them do.
    std::errc statusFailsWith{};
    mutable int failingStatus = 0;
    std::errc listingFailsWith{};
    mutable int failingListings = 0;

    std::optional<FileVersion> version(const fs::path& path) const override {
        if (failingStatus > 0 && path.filename() == "sorvin.json") {
            --failingStatus;
            if (statusFailsWith == std::errc::no_such_file_or_directory) return std::nullopt;
            throw std::system_error(std::make_error_code(statusFailsWith), "look at file");
        }
        return FileManager::version(path);
    }
    bool listed(const fs::path& path) const override {
        if (failingListings > 0) {
            --failingListings;
            throw std::system_error(std::make_error_code(listingFailsWith), "list folder");
        }
        return FileManager::listed(path);
    }

    std::string contents(const fs::path& path, std::size_t maxBytes, FileVersion* version) const override {
        if (readsRunOutOfMemory) throw std::bad_alloc();
        if (failingReads > 0) {
            --failingReads;
            throw std::system_error(std::make_error_code(readsFailWith), "open file");
        }
        std::string text = FileManager::contents(path, maxBytes, version);
        if (afterRead) afterRead(path);
        return text;
    }

    AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                   const AtomicFile::Expected& expected) override {
        if (unwritableFolders.contains(path.parent_path()))
            throw std::system_error(std::make_error_code(std::errc::read_only_file_system), "write");
        return FileManager::replace(path, bytes, expected);
    }
    void moveItem(const fs::path& from, const fs::path& to) override {
        if (movesFail || unwritableFolders.contains(from.parent_path()))
            throw fs::filesystem_error("move", from, to,
                                       std::make_error_code(std::errc::read_only_file_system));
        FileManager::moveItem(from, to);
    }
};

const system_clock::time_point kLoadTime = system_clock::time_point{} + seconds{1'765'000'000};

class SelectionStoreTest : public testing::Test {
protected:
    SelectionStoreTest() { fs::create_directories(folder); }

    SelectionStore store() {
        return SelectionStore(folder, support, legacySupport, files, [] { return kLoadTime; });
    }

    static bool saveHearts(SelectionStore& store, std::set<std::string> hearts,
                           std::optional<std::string> cursor = std::nullopt) {
        SelectionSaveValues values;
        values.cursor = std::move(cursor);
        for (const auto& path : hearts)
            values.hearts.insert(path);
        return store.save(values, system_clock::time_point{});
    }

    // A plain write: the tests need no flush to disk.
    static void write(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }
    static std::string read(const fs::path& path) { return AtomicFile::read(path); }
    static std::string recordWithHeart(const std::string& path, int version = 2) {
        return "{\"version\": " + std::to_string(version) + ", \"app\": \"Sorvin\", \"updatedAt\": \"x\", " +
               (version == 1 ? "\"hearts\": [\"" + path + "\"]}"
                             : "\"photos\": {\"" + path + "\": {\"heart\": true}}}");
    }
    fs::path fallback() const { return SelectionStore(folder, support).fallbackURL(); }
    std::ptrdiff_t entriesInFolder() const {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    }

    test::TemporaryFolder root;
    fs::path folder = root / "photos";
    fs::path support = root / "support";
    fs::path legacySupport = root / "legacy";
    ControlledFiles files;
};

TEST_F(SelectionStoreTest, LocationsFollowTheStandardizedFolderAndItsHash) {
    const SelectionStore s = store();
    EXPECT_EQ(s.primaryURL(), folder / "sorvin.json");
    EXPECT_EQ(s.legacyPrimaryURL(), folder / "tolvanite.json");
    const std::string hash = Sha256::hex(folder.string()).substr(0, 16);
    EXPECT_EQ(s.fallbackURL(), support / (hash + ".json"));
    EXPECT_EQ(s.legacyFallbackURL(), legacySupport / (hash + ".json"));
    EXPECT_EQ(SelectionStore::folderHash(folder.string()), hash);

    // Two spellings of one folder share one fallback file.
    const SelectionStore spelled(root / "photos/./sub/../", support);
    EXPECT_EQ(spelled.sourceFolder(), folder);
    EXPECT_EQ(spelled.fallbackURL(), s.fallbackURL());
    EXPECT_NE(SelectionStore(root / "other", support).fallbackURL(), s.fallbackURL());

    const auto candidates = s.loadCandidates();
    ASSERT_EQ(candidates.size(), 4u);
    EXPECT_EQ(candidates[2].url, s.fallbackURL());
    EXPECT_TRUE(candidates[3].usesFallback && candidates[3].isLegacy);
    EXPECT_EQ(SelectionStore(folder, support).loadCandidates().size(), 3u) << "no predecessor folder given";
}

TEST_F(SelectionStoreTest, WithoutSupportFoldersTheDataHomeIsUsed) {
    test::ScopedEnvironment environment;
    environment.set("XDG_DATA_HOME", root / "data");
    const SelectionStore s(folder);
    const std::string name = SelectionStore::folderHash(folder.string()) + ".json";
    EXPECT_EQ(s.fallbackURL(), root / "data/Sorvin" / name);
    EXPECT_EQ(s.legacyFallbackURL(), root / "data/Tolvanite" / name);
    EXPECT_EQ(SelectionStore(folder, std::nullopt, legacySupport).legacyFallbackURL(), legacySupport / name);
}

TEST_F(SelectionStoreTest, NoRecordGivesAnEmptyResult) {
    EXPECT_EQ(store().load(), SelectionLoadResult{});
}

TEST_F(SelectionStoreTest, SavedRecordReadsBack) {
    auto s = store();
    EXPECT_FALSE(saveHearts(s, {"b.jpg", "a.jpg"}, "a.jpg"));
    const auto loaded = store().load();
    EXPECT_EQ(loaded.hearts, (std::set<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_EQ(loaded.cursor, "a.jpg");
    EXPECT_FALSE(loaded.warning);
    EXPECT_FALSE(loaded.usesFallback);
    EXPECT_FALSE(fs::exists(fallback()));
}

// The library's own tables, unordered, with rotations and crops as edited: the record keeps the
// rotations it can store (rounded to half degrees) and no default crop; a JPEG's exposure reads
// back as its brightness, and the rest as it was.
TEST_F(SelectionStoreTest, SavingTheLibrarysValuesWritesWhatItCanStore) {
    PhotoParameters brightened;
    brightened.setValue(40, PhotoParameter::exposure);
    brightened.setValue(-10, PhotoParameter::contrast);
    RetouchState copy;
    copy.heart = true;
    copy.rotation = 90;
    PhotoParameters developed;
    developed.setValue(25, PhotoParameter::raw_exposure);
    SelectionLoadResult edited;
    edited.cursor = "b.jpg";
    edited.hearts = {"c.jpg", "a.jpg", "b.jpg", "d.jpg"};
    edited.rotations = {{"a.jpg", 10.26}, {"b.jpg", 0.2}, {"c.jpg", 200}, {"d.jpg", -90}};
    edited.crops = {{"a.jpg", ManualCrop{}}, {"b.jpg", ManualCrop{CropAspect::ratio(3, 2), 80, 500, 700}}};
    edited.params = {{"a.jpg", brightened}, {"c.jpg", PhotoParameters()}};
    edited.paramsRaw = {{"a.jpg", developed}};
    edited.sources = {{"a.jpg", PhotoSource::raw}, {"b.jpg", PhotoSource::jpeg}};
    edited.retouchesB = {{"d.jpg", copy}};

    auto s = store();
    EXPECT_FALSE(s.save(test::saveValuesOf(edited), kLoadTime));
    const SelectionLoadResult loaded = store().load();
    EXPECT_EQ(loaded.rotations, (SelectionRecord::PathMap<double>{{"a.jpg", 10.5}, {"d.jpg", -90}}));
    EXPECT_EQ(loaded.crops, (SelectionRecord::PathMap<ManualCrop>{{"b.jpg", edited.crops.at("b.jpg")}}));
    EXPECT_EQ(loaded.brightness, (SelectionRecord::PathMap<int>{{"a.jpg", 40}}));
    EXPECT_EQ(loaded.params.at("a.jpg"), brightened);
    EXPECT_EQ(loaded.hearts, edited.hearts);
    EXPECT_EQ(loaded.cursor, edited.cursor);
    EXPECT_EQ(loaded.paramsRaw, edited.paramsRaw);
    EXPECT_EQ(loaded.sources, (SelectionRecord::PathMap<PhotoSource>{{"a.jpg", PhotoSource::raw}}))
        << "the JPEG, shown unless the record says otherwise, goes without saying";
    EXPECT_EQ(loaded.retouchesB, edited.retouchesB);
}

TEST_F(SelectionStoreTest, FolderFileWinsOverThePredecessorsAndThePredecessorsIsNeverWritten) {
    write(folder / "tolvanite.json", recordWithHeart("old.jpg", 1));
    auto first = store();
    auto loaded = first.load();
    EXPECT_EQ(loaded.hearts, std::set<std::string>{"old.jpg"});
    EXPECT_FALSE(loaded.usesFallback);
    EXPECT_FALSE(saveHearts(first, {"new.jpg"}));
    EXPECT_EQ(read(folder / "tolvanite.json"), recordWithHeart("old.jpg", 1));
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"new.jpg"});
}

TEST_F(SelectionStoreTest, PredecessorsFallbackIsReadLast) {
    write(legacySupport / fallback().filename(), recordWithHeart("legacy.jpg"));
    auto loaded = store().load();
    EXPECT_EQ(loaded.hearts, std::set<std::string>{"legacy.jpg"});
    EXPECT_TRUE(loaded.usesFallback);
    write(fallback(), recordWithHeart("current.jpg"));
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"current.jpg"});
}

TEST_F(SelectionStoreTest, UnknownVersionsAreReportedAndNeverOverwritten) {
    const char* texts[] = {
        R"({"version": 3, "app": "Sorvin", "updatedAt": "x", "photos": {}})",
        R"({"version": "2", "app": "Sorvin", "updatedAt": "x"})",
        R"({"version": 2.0, "app": "Sorvin", "updatedAt": "x"})",
        R"({"version": 1e0, "app": "Sorvin", "updatedAt": "x", "hearts": []})",
        R"({"version": true})",
        R"({"version": 0})",
        R"({"app": "Sorvin", "updatedAt": "x", "photos": {}})",
        R"([{"version": 2}])",
        R"("text")",
    };
    for (const char* text : texts) {
        write(folder / "sorvin.json", text);
        auto s = store();
        const auto loaded = s.load();
        EXPECT_EQ(loaded.warning, SelectionLoadWarning::unknownVersion) << text;
        EXPECT_TRUE(loaded.hearts.empty());
        EXPECT_EQ(s.protectedRecordURL(), folder / "sorvin.json");
        EXPECT_EQ(s.protection(),
                  text == texts[0] ? SelectionProtection::newerVersion : SelectionProtection::unknownVersion)
            << text;
        EXPECT_THROW(saveHearts(s, {"a.jpg"}), SelectionStoreError) << text;
        EXPECT_THROW(saveHearts(s, {"a.jpg"}), SelectionStoreError) << "a second save is refused too";
        EXPECT_EQ(read(folder / "sorvin.json"), text);
        EXPECT_FALSE(fs::exists(fallback())) << "the fallback is not used either";
    }
}

TEST_F(SelectionStoreTest, UnknownVersionOfThePredecessorIsNotProtected) {
    write(folder / "tolvanite.json", R"({"version": 3})");
    auto s = store();
    EXPECT_EQ(s.load().warning, SelectionLoadWarning::unknownVersion);
    EXPECT_FALSE(s.protectedRecordURL());
    EXPECT_FALSE(s.protection());
    EXPECT_FALSE(saveHearts(s, {"a.jpg"}));
    EXPECT_EQ(read(folder / "tolvanite.json"), R"({"version": 3})");
}

TEST_F(SelectionStoreTest, DamagedFilesAreSetAsideUnderAFreeName) {
    const std::string stamp = "sorvin.json.broken-" + std::to_string(1'765'000'000);
    const char* damaged[] = {"{\"version\": 2,", "not json", R"({"version": 2, "app": 5, "updatedAt": "x"})"};
    for (const char* text : damaged)
        write(folder / "sorvin.json", text), store().load();
    EXPECT_EQ(read(folder / stamp), damaged[0]);
    EXPECT_EQ(read(folder / (stamp + "-1")), damaged[1]);
    EXPECT_EQ(read(folder / (stamp + "-2")), damaged[2]);

    write(folder / "sorvin.json", "{");
    auto s = store();
    const auto loaded = s.load();
    EXPECT_EQ(loaded.warning, SelectionLoadWarning::brokenJSON);
    EXPECT_FALSE(fs::exists(folder / "sorvin.json"));
    EXPECT_FALSE(saveHearts(s, {"a.jpg"}));
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"a.jpg"});
}

TEST_F(SelectionStoreTest, DamagedFallbackIsSetAsideInTheSupportFolder) {
    write(fallback(), "]");
    const auto loaded = store().load();
    EXPECT_EQ(loaded.warning, SelectionLoadWarning::brokenJSON);
    EXPECT_TRUE(loaded.usesFallback);
    EXPECT_TRUE(fs::exists(support / "sorvin.json.broken-1765000000"));
}

TEST_F(SelectionStoreTest, DamagedPredecessorFileStaysWhereItIs) {
    write(folder / "tolvanite.json", "{oops");
    EXPECT_EQ(store().load().warning, SelectionLoadWarning::brokenJSON);
    EXPECT_EQ(read(folder / "tolvanite.json"), "{oops");
}

TEST_F(SelectionStoreTest, UnwritableFolderSavesToTheHashedFallback) {
    files.unwritableFolders.insert(folder);
    auto s = store();
    EXPECT_TRUE(saveHearts(s, {"a.jpg"}));
    EXPECT_FALSE(fs::exists(folder / "sorvin.json"));
    const auto loaded = store().load();
    EXPECT_TRUE(loaded.usesFallback);
    EXPECT_EQ(loaded.hearts, std::set<std::string>{"a.jpg"});

    // Writable again: the folder file takes over, and the fallback, whose values it now holds, goes.
    files.unwritableFolders.clear();
    auto again = store();
    EXPECT_TRUE(again.load().usesFallback);
    EXPECT_FALSE(saveHearts(again, {"b.jpg"}));
    EXPECT_FALSE(fs::exists(fallback()));
    const auto reloaded = store().load();
    EXPECT_FALSE(reloaded.usesFallback);
    EXPECT_EQ(reloaded.hearts, std::set<std::string>{"b.jpg"});
}

TEST_F(SelectionStoreTest, NewerFallbackWinsOverAStaleFolderFile) {
    // The folder holds a record but has become read-only: edits go to the fallback and must be
    // what the next opening shows.
    write(folder / "sorvin.json", recordWithHeart("stale.jpg"));
    fs::last_write_time(folder / "sorvin.json", fs::file_time_type::clock::now() - hours(1));
    files.unwritableFolders.insert(folder);
    auto s = store();
    EXPECT_EQ(s.load().hearts, std::set<std::string>{"stale.jpg"});
    EXPECT_TRUE(saveHearts(s, {"fresh.jpg"}));
    const auto loaded = store().load();
    EXPECT_EQ(loaded.hearts, std::set<std::string>{"fresh.jpg"});
    EXPECT_TRUE(loaded.usesFallback);
    EXPECT_EQ(read(folder / "sorvin.json"), recordWithHeart("stale.jpg"));

    // The same with a predecessor's file in the folder.
    fs::remove(folder / "sorvin.json");
    write(folder / "tolvanite.json", recordWithHeart("old.jpg", 1));
    fs::last_write_time(folder / "tolvanite.json", fs::file_time_type::clock::now() - hours(1));
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"fresh.jpg"});
}

// A fallback written by an earlier version notes nothing of the folder's record it started from:
// whatever the times of the two files, the photos it holds take its values and the others keep
// the folder's.
TEST_F(SelectionStoreTest, AFallbackOfAnEarlierVersionIsCombinedWithTheFolderFile) {
    for (const auto shift : {-hours(1), hours(1)}) {
        write(fallback(), recordWithHeart("old.jpg"));
        fs::last_write_time(fallback(), fs::file_time_type::clock::now() + shift);
        write(folder / "sorvin.json", recordWithHeart("new.jpg"));
        const auto loaded = store().load();
        EXPECT_EQ(loaded.hearts, (std::set<std::string>{"new.jpg", "old.jpg"}));
        EXPECT_FALSE(loaded.usesFallback);
    }
}

TEST_F(SelectionStoreTest, FolderFileOfUnknownVersionStaysProtectedBehindANewerFallback) {
    write(folder / "sorvin.json", R"({"version": 3})");
    fs::last_write_time(folder / "sorvin.json", fs::file_time_type::clock::now() - hours(1));
    write(fallback(), recordWithHeart("a.jpg"));
    auto s = store();
    EXPECT_EQ(s.load().hearts, std::set<std::string>{"a.jpg"});
    EXPECT_EQ(s.protection(), SelectionProtection::newerVersion);
    EXPECT_THROW(saveHearts(s, {"b.jpg"}), SelectionStoreError);
    EXPECT_EQ(read(folder / "sorvin.json"), R"({"version": 3})");
}

TEST_F(SelectionStoreTest, UnreadableNewerFallbackLeavesTheFolderFileInCharge) {
    for (const char* fallbackText : {"{damaged", R"({"version": 3})"}) {
        write(folder / "sorvin.json", recordWithHeart("a.jpg"));
        fs::last_write_time(folder / "sorvin.json", fs::file_time_type::clock::now() - hours(1));
        write(fallback(), fallbackText);
        auto s = store();
        const auto loaded = s.load();
        EXPECT_EQ(loaded.hearts, std::set<std::string>{"a.jpg"}) << fallbackText;
        EXPECT_FALSE(loaded.warning);
        EXPECT_FALSE(loaded.usesFallback);
        EXPECT_FALSE(s.protection()) << "saves still reach the folder";
        EXPECT_FALSE(saveHearts(s, {"a.jpg", "b.jpg"}));
        // Nothing of the fallback is lost: set aside when damaged, left alone when unreadable.
        EXPECT_TRUE(fs::exists(fallback()) ? read(fallback()) == fallbackText
                                           : fs::exists(support / "sorvin.json.broken-1765000000"));
        fs::remove_all(support);
    }
}

TEST_F(SelectionStoreTest, DamagedFileThatCannotBeMovedIsNotOverwritten) {
    write(folder / "sorvin.json", "{damaged");
    fs::last_write_time(folder / "sorvin.json", fs::file_time_type::clock::now() - hours(1));
    files.movesFail = true;
    auto s = store();
    EXPECT_EQ(s.load().warning, SelectionLoadWarning::brokenJSON);
    EXPECT_TRUE(saveHearts(s, {"a.jpg"})) << "the save goes to the fallback";
    EXPECT_EQ(read(folder / "sorvin.json"), "{damaged");
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"a.jpg"}) << "and is what the next load reads";
}

// A FIFO would block the read for ever, a device would never end: neither is read, moved or
// written; the record lives in the fallback, which is read back the next time.
TEST_F(SelectionStoreTest, SomethingThatIsNotAFileWhereTheRecordBelongsIsLeftAloneAndTheFallbackUsed) {
    const auto fifo = [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); };
    const auto folderNamed = [](const fs::path& path) { fs::create_directory(path); };
    const auto deviceLink = [](const fs::path& path) { fs::create_symlink("/dev/zero", path); };
    const auto fifoLink = [&](const fs::path& path) {
        fifo(root / "elsewhere");
        fs::create_symlink(root / "elsewhere", path);
    };
    for (const auto& make :
         std::vector<std::function<void(const fs::path&)>>{fifo, folderNamed, deviceLink, fifoLink}) {
        fs::remove_all(root.path());
        fs::create_directories(folder);
        const fs::path record = folder / "sorvin.json";
        make(record);
        const auto type = fs::symlink_status(record).type();
        auto s = store();
        EXPECT_EQ(s.load().warning, SelectionLoadWarning::brokenJSON);
        EXPECT_TRUE(saveHearts(s, {"a.jpg"})) << "saved to the fallback";
        EXPECT_EQ(fs::symlink_status(record).type(), type);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

        const auto again = store().load();
        EXPECT_EQ(again.hearts, std::set<std::string>{"a.jpg"});
        EXPECT_TRUE(again.usesFallback);
        EXPECT_FALSE(again.warning);
    }
    // The predecessor's name is skipped too, and the first save writes our own record.
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::remove(fallback());
    fifo(folder / "tolvanite.json");
    auto s = store();
    EXPECT_EQ(s.load().warning, SelectionLoadWarning::brokenJSON);
    EXPECT_FALSE(saveHearts(s, {"b.jpg"}));
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"b.jpg"});
}

// The fallback holds a record of a later version: protected, and said to be, while the folder
// cannot take the record; once it can, the folder's file takes it and nothing is protected.
TEST_F(SelectionStoreTest, ProtectedFallbackIsNeverWritten) {
    files.unwritableFolders.insert(folder);
    write(fallback(), R"({"version": 9})");
    auto s = store();
    const auto loaded = s.load();
    EXPECT_EQ(loaded.warning, SelectionLoadWarning::unknownVersion);
    EXPECT_TRUE(loaded.usesFallback);
    EXPECT_EQ(s.protection(), SelectionProtection::newerVersion) << "said before the first save";
    EXPECT_THROW(saveHearts(s, {"a.jpg"}), fs::filesystem_error);
    EXPECT_EQ(s.protection(), SelectionProtection::newerVersion);
    EXPECT_EQ(read(fallback()), R"({"version": 9})");
    files.unwritableFolders.clear();
    EXPECT_FALSE(saveHearts(s, {"a.jpg"})) << "the folder file can still be written";
    EXPECT_FALSE(s.protection());
    EXPECT_EQ(read(fallback()), R"({"version": 9})");

    // Beside a folder file of its own, the folder is taken to be writable until a save says not.
    write(folder / "sorvin.json", recordWithHeart("a.jpg"));
    fs::last_write_time(fallback(), fs::file_time_type::clock::now() + std::chrono::hours(1));
    auto beside = store();
    EXPECT_EQ(beside.load().hearts, std::set<std::string>{"a.jpg"});
    EXPECT_FALSE(beside.protection());
    files.unwritableFolders.insert(folder);
    EXPECT_THROW(saveHearts(beside, {"b.jpg"}), fs::filesystem_error);
    EXPECT_EQ(beside.protection(), SelectionProtection::newerVersion);
}

TEST_F(SelectionStoreTest, FailingFallbackWriteIsReported) {
    files.unwritableFolders = {folder, support};
    auto s = store();
    EXPECT_THROW(saveHearts(s, {"a.jpg"}), std::system_error);
    EXPECT_FALSE(fs::exists(fallback()));
}

TEST_F(SelectionStoreTest, UnencodableTextTouchesNoFile) {
    write(folder / "sorvin.json", recordWithHeart("a.jpg"));
    auto s = store();
    EXPECT_THROW(saveHearts(s, {"bad\xff.jpg"}), std::system_error);
    EXPECT_EQ(read(folder / "sorvin.json"), recordWithHeart("a.jpg"));
}

// A very large folder's record: above 64 MiB (here by long names rather than by thousands of photos
// with every parameter edited, which take as many bytes but far longer to build) it is written,
// read back whole and never set aside.
TEST_F(SelectionStoreTest, ARecordAboveSixtyFourMebibytesReadsBack) {
    std::set<std::string> hearts;
    SelectionRecord::PathMap<PhotoParameters> params;
    for (int i = 0; i < 2200; ++i) {
        const std::string path = fmt::format("{:04}/{}.JPG", i, std::string(32 * 1024, 'a' + i % 26));
        hearts.insert(path);
        if (i % 100 == 0) params[path].setValue(1 + i / 100, PhotoParameter::exposure);
    }
    SelectionSaveValues values;
    values.cursor = *hearts.begin();
    for (const auto& path : hearts)
        values.hearts.insert(path);
    for (const auto& [path, set] : params)
        values.parameters.emplace(path, set);
    auto s = store();
    EXPECT_FALSE(s.save(values, system_clock::time_point{}));
    EXPECT_GT(fs::file_size(folder / "sorvin.json"), std::uintmax_t{64} << 20);

    const auto loaded = store().load();
    EXPECT_FALSE(loaded.warning);
    // Compared without printing: the names alone fill 64 MiB.
    EXPECT_TRUE(loaded.hearts == hearts);
    EXPECT_TRUE(loaded.params == params);
    EXPECT_TRUE(loaded.cursor == *hearts.begin());
    EXPECT_EQ(entriesInFolder(), 1) << "nothing set aside";
}

// One limit for writing and reading: what is written up to it reads back; a record above it is
// not written, and the one on disk stays; a file above it, or one too large for the memory left,
// is kept as it is, never set aside.
TEST_F(SelectionStoreTest, RecordsAboveTheByteLimitAreNeitherWrittenNorSetAside) {
    auto s = store();
    saveHearts(s, {"a.jpg"});
    const std::string written = read(folder / "sorvin.json");
    const auto limitedStore = [&](std::size_t limit) {
        return SelectionStore(
            folder, support, legacySupport, files, [] { return kLoadTime; }, limit);
    };

    auto atTheLimit = limitedStore(written.size());
    EXPECT_EQ(atTheLimit.load().hearts, std::set<std::string>{"a.jpg"});
    try {
        saveHearts(atTheLimit, {"a.jpg", "b.jpg"});
        ADD_FAILURE() << "a record above the limit was written";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::file_too_large);
    }
    EXPECT_EQ(read(folder / "sorvin.json"), written);
    EXPECT_FALSE(fs::exists(fallback())) << "nor written to the fallback";

    auto belowTheFile = limitedStore(written.size() - 1);
    const auto loaded = belowTheFile.load();
    EXPECT_EQ(loaded.warning, SelectionLoadWarning::unknownVersion);
    EXPECT_EQ(belowTheFile.protectedRecordURL(), folder / "sorvin.json");
    EXPECT_EQ(belowTheFile.protection(), SelectionProtection::tooLarge);
    EXPECT_THROW(saveHearts(belowTheFile, {}), SelectionStoreError);
    EXPECT_EQ(read(folder / "sorvin.json"), written);

    files.readsRunOutOfMemory = true;
    auto outOfMemory = store();
    EXPECT_EQ(outOfMemory.load().warning, SelectionLoadWarning::unknownVersion);
    EXPECT_EQ(outOfMemory.protection(), SelectionProtection::tooLarge);
    EXPECT_THROW(saveHearts(outOfMemory, {}), SelectionStoreError);
    EXPECT_EQ(read(folder / "sorvin.json"), written);
    EXPECT_EQ(entriesInFolder(), 1) << "nothing set aside";
}

// A record using every kind of member, damaged at random: every load must end in a decoded
// record, a file set aside, or a protected file of an unknown version, and never crash.
TEST_F(SelectionStoreTest, RandomlyDamagedRecordsNeverCrashTheLoad) {
    const std::string valid = R"({
  "version": 2,
  "app": "Sorvin",
  "updatedAt": "2026-12-07T09:05:03Z",
  "cursor": "trip/IMG_0002.JPG",
  "photos": {
    "IMG_0001.JPG": {
      "heart": true,
      "source": "raw",
      "rotation": -12.5,
      "crop": { "aspect": "3:2", "size": 80, "x": 100, "y": 200 },
      "masks": ["circular", "linear"],
      "params": { "exposure": 25, "C0.exposure": 40, "C0.circular_mask_amount": -10, "L1.linear_mask_amount": 10 },
      "paramsRaw": { "raw_exposure": 60, "C0.circular_mask_amount": 10, "L1.linear_mask_amount": 0 },
      "b": { "heart": true, "rotation": 90.0, "crop": { "aspect": "original", "size": 100, "x": 0, "y": 0 }, "masks": ["linear"], "params": { "L0.linear_mask_amount": 10 } }
    },
    "trip/IMG_0002.JPG": {
      "heart": true
    }
  }
}
)";
    std::mt19937 random(20261207);
    int decoded = 0, setAside = 0, unknown = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = valid;
        if (round % 3 == 0) {
            text.resize(random() % text.size());
        } else {
            for (int flips = 1 + random() % 3; flips > 0; --flips)
                text[random() % text.size()] ^= static_cast<char>(1u << (random() % 8));
        }
        write(folder / "sorvin.json", text);
        auto s = store();
        const auto loaded = s.load();
        if (!loaded.warning) {
            ++decoded;
            EXPECT_TRUE(fs::exists(folder / "sorvin.json"));
        } else if (loaded.warning == SelectionLoadWarning::brokenJSON) {
            ++setAside;
            EXPECT_FALSE(fs::exists(folder / "sorvin.json"));
        } else {
            ++unknown;
            EXPECT_EQ(read(folder / "sorvin.json"), text);
        }
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename() != "sorvin.json") fs::remove(entry.path());
    }
    EXPECT_GT(decoded, 100);
    EXPECT_GT(setAside, 100);
    EXPECT_EQ(decoded + setAside + unknown, 3000);
}

TEST_F(SelectionStoreTest, DeeplyNestedTextIsSetAsideWithoutExhaustingTheStack) {
    write(folder / "sorvin.json", "{\"version\": 2, \"app\": " + std::string(200000, '[') + "}");
    EXPECT_EQ(store().load().warning, SelectionLoadWarning::brokenJSON);
}

// Everything below the folder whose name holds the text.
std::vector<std::string> namesWith(const fs::path& folder, const std::string& text) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(text) != std::string::npos)
            names.push_back(entry.path().filename().string());
    return names;
}

// Every look at the record (its status, the folder's listing, the read) may fail for a moment
// through a share: ENOENT while another file is renamed over it, EIO, ESTALE. Looked at again, the
// record comes back; failing for good, the folder opens "unreadable now". Never empty in silence,
// never "broken", never written over: what is saved meanwhile goes beside it, and over it, combined
// with it, once it reads again.
TEST_F(SelectionStoreTest, ARecordTheSystemCannotLookAtIsNeitherNoneNorBrokenNorWrittenOver) {
    struct Step {
        const char* name;
        std::function<void(std::errc, int)> fail;
    };
    const std::vector<Step> steps{
        {"status", [&](std::errc e, int n) { files.statusFailsWith = e, files.failingStatus = n; }},
        {"status and listing",
         [&](std::errc e, int n) {
             files.statusFailsWith = std::errc::no_such_file_or_directory, files.failingStatus = n;
             files.listingFailsWith = e, files.failingListings = n;
         }},
        {"open or read", [&](std::errc e, int n) { files.readsFailWith = e, files.failingReads = n; }},
    };
    const auto stop = [&] { files.failingStatus = files.failingListings = files.failingReads = 0; };
    for (const std::errc error : {std::errc::no_such_file_or_directory, std::errc::io_error,
                                  static_cast<std::errc>(ESTALE)}) {
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(step.name) + ": " + std::make_error_code(error).message());
            fs::remove_all(folder);
            write(folder / "sorvin.json", recordWithHeart("kept.jpg"));

            step.fail(error, 2); // for a moment only
            EXPECT_EQ(store().load(), SelectionLoadResult::of(SelectionRecordDecoder::decode(
                                          SelectionJSONValue::Json::parse(recordWithHeart("kept.jpg")))));
            stop();

            step.fail(error, 1000);
            auto s = store();
            const SelectionLoadResult loaded = s.load();
            EXPECT_EQ(loaded.warning, SelectionLoadWarning::unreadableNow);
            EXPECT_TRUE(loaded.hearts.empty());
            EXPECT_FALSE(loaded.usesFallback);
            EXPECT_FALSE(s.protection()) << "saves are not refused";
            EXPECT_FALSE(saveHearts(s, {"new.jpg"}));
            EXPECT_EQ(read(folder / "sorvin.json"), recordWithHeart("kept.jpg"));
            EXPECT_TRUE(namesWith(folder, "broken").empty());
            ASSERT_TRUE(s.keptBesideURL());
            EXPECT_EQ(s.diversion(), SelectionDiversion::unreadable);
            EXPECT_TRUE(s.keptBesideURL()->filename().string().starts_with("sorvin.json.conflict-1765000000"));
            EXPECT_FALSE(fs::exists(fallback()));

            // Readable again: the session's changes go over the record, combined with it.
            stop();
            EXPECT_FALSE(saveHearts(s, {"new.jpg", "more.jpg"}));
            EXPECT_FALSE(s.keptBesideURL());
            EXPECT_TRUE(namesWith(folder, "conflict").empty());
            EXPECT_EQ(store().load().hearts, (std::set<std::string>{"kept.jpg", "more.jpg", "new.jpg"}));
        }
    }
}

// A conflict file left beside the record (by an earlier version, or by a save that could not read
// the record) is taken in at the next opening: its values are newer for the photos it holds. It
// is removed once the record holding them is written; where that cannot be written, it stays and
// the opening names it.
TEST_F(SelectionStoreTest, ConflictFilesAreTakenInAtTheNextOpening) {
    write(folder / "sorvin.json", "{\"version\": 2, \"app\": \"Sorvin\", \"updatedAt\": \"x\", \"photos\": "
                                  "{\"a.jpg\": {\"heart\": true}, \"b.jpg\": {\"rotation\": 10}}}");
    write(folder / "sorvin.json.conflict-100", "{\"version\": 2, \"app\": \"Sorvin\", \"updatedAt\": \"x\", "
                                               "\"photos\": {\"b.jpg\": {\"rotation\": 20}, \"c.jpg\": {\"heart\": true}}}");
    write(folder / "sorvin.json.conflict-100-1", recordWithHeart("d.jpg"));
    write(folder / "sorvin.json.conflict-99", "{\"version\": 2, \"app\": \"Sorvin\", \"updatedAt\": \"x\", "
                                              "\"photos\": {\"b.jpg\": {\"rotation\": 30}}}");

    files.unwritableFolders = {folder, support};
    auto refused = store();
    const SelectionLoadResult kept = refused.load();
    EXPECT_EQ(kept.hearts, std::set<std::string>{"a.jpg"});
    EXPECT_EQ(kept.keptConflictFiles.size(), 3u);
    EXPECT_EQ(namesWith(folder, "conflict").size(), 3u);

    files.unwritableFolders.clear();
    auto s = store();
    const SelectionLoadResult loaded = s.load();
    EXPECT_TRUE(loaded.tookInConflictFiles);
    EXPECT_TRUE(loaded.keptConflictFiles.empty());
    EXPECT_EQ(loaded.hearts, (std::set<std::string>{"a.jpg", "c.jpg", "d.jpg"}));
    EXPECT_EQ(loaded.rotations, (SelectionRecord::PathMap<double>{{"b.jpg", 20}})) << "the newest file last";
    EXPECT_TRUE(namesWith(folder, "conflict").empty());
    EXPECT_EQ(store().load().hearts, loaded.hearts);
}

// A damaged file is set aside only while it is still the file read: a record renamed over it
// in between is read instead, and kept.
TEST_F(SelectionStoreTest, OnlyTheDamagedFileReadIsSetAside) {
    write(folder / "sorvin.json", "{\"version\": 2,");
    bool replaced = false;
    files.afterRead = [&](const fs::path& path) {
        if (replaced || path != folder / "sorvin.json") return;
        replaced = true;
        write(folder / "next", recordWithHeart("newer.jpg"));
        fs::rename(folder / "next", path);
    };
    auto s = store();
    const SelectionLoadResult loaded = s.load();
    EXPECT_FALSE(loaded.warning);
    EXPECT_EQ(loaded.hearts, std::set<std::string>{"newer.jpg"});
    EXPECT_TRUE(namesWith(folder, "broken").empty());
    EXPECT_FALSE(saveHearts(s, {"newer.jpg", "b.jpg"}));
    EXPECT_FALSE(s.keptBesideURL()) << "the record read is the one written over";
    EXPECT_EQ(store().load().hearts, (std::set<std::string>{"b.jpg", "newer.jpg"}));
}

// Two copies of the program on one folder that share no lock (two computers, a second path to
// the folder), each changing its own photos and one the same photo, saving in turn: every change
// of each survives, the photo both changed has the later save's values, and each copy is told
// what the other did. No conflict file is left. A record that appeared where there was none is
// combined as well.
TEST_F(SelectionStoreTest, TwoCopiesSavingInTurnKeepEveryChangeOfEach) {
    write(folder / "sorvin.json", recordWithHeart("a.jpg"));
    auto here = store();
    auto there = store();
    EXPECT_EQ(here.load().hearts, std::set<std::string>{"a.jpg"});
    EXPECT_EQ(there.load().hearts, std::set<std::string>{"a.jpg"});

    EXPECT_FALSE(saveHearts(there, {"a.jpg", "b.jpg", "same.jpg"}));
    EXPECT_FALSE(there.combination());
    EXPECT_FALSE(saveHearts(here, {"a.jpg", "c.jpg", "d.jpg"}, "d.jpg"));
    ASSERT_TRUE(here.combination());
    EXPECT_EQ(here.combination()->paths, (std::set<std::string>{"b.jpg", "same.jpg"}));
    EXPECT_EQ(store().load().hearts, (std::set<std::string>{"a.jpg", "b.jpg", "c.jpg", "d.jpg", "same.jpg"}));
    EXPECT_EQ(store().load().cursor, "d.jpg") << "the cursor is the saving copy's";

    // The photo both changed: the later save's values. There, a.jpg is taken away too.
    const auto turned = [](std::set<std::string> hearts, double degrees) {
        SelectionSaveValues values;
        for (const auto& path : hearts)
            values.hearts.insert(path);
        values.rotations.emplace("same.jpg", degrees);
        return values;
    };
    there.save(turned({"b.jpg", "same.jpg"}, 10), {});
    here.save(turned({"a.jpg", "b.jpg", "c.jpg", "d.jpg", "same.jpg"}, 20), {});
    const SelectionLoadResult both = store().load();
    EXPECT_EQ(both.hearts, (std::set<std::string>{"b.jpg", "c.jpg", "d.jpg", "same.jpg"}));
    EXPECT_EQ(both.rotations, (SelectionRecord::PathMap<double>{{"same.jpg", 20}}));
    EXPECT_TRUE(namesWith(folder, "conflict").empty());
    EXPECT_FALSE(here.keptBesideURL());

    fs::remove_all(folder);
    fs::create_directories(folder);
    auto fresh = store();
    fresh.load();
    write(folder / "sorvin.json", recordWithHeart("appeared.jpg"));
    EXPECT_FALSE(saveHearts(fresh, {"mine.jpg"}));
    EXPECT_EQ(store().load().hearts, (std::set<std::string>{"appeared.jpg", "mine.jpg"}));
    EXPECT_TRUE(namesWith(folder, "conflict").empty());
}

// Another writer's record renamed in at the last moment before a save renames its own in (the
// window a check before the rename leaves open): it is exchanged out, read and combined.
TEST_F(SelectionStoreTest, ARecordRenamedInRightBeforeASaveIsCombined) {
    write(folder / "sorvin.json", recordWithHeart("start.jpg"));
    class LateRival : public FileManager {
    public:
        std::function<void()> beforeReplace;
        AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                        const AtomicFile::Expected& expected) override {
            if (auto rival = std::exchange(beforeReplace, nullptr)) rival();
            return FileManager::replace(path, bytes, expected);
        }
    } late;
    SelectionStore s(folder, support, legacySupport, late);
    s.load();
    late.beforeReplace = [&] {
        write(folder / "rival", recordWithHeart("rival.jpg"));
        fs::rename(folder / "rival", folder / "sorvin.json");
    };
    EXPECT_FALSE(saveHearts(s, {"start.jpg", "mine.jpg"}));
    EXPECT_EQ(store().load().hearts, (std::set<std::string>{"mine.jpg", "rival.jpg"}));
    EXPECT_TRUE(s.combination());
    EXPECT_TRUE(namesWith(folder, ".tmp-").empty());
}

// As each copy, a process of its own, would write: temporaries of its own, with a step right before
// and right after the next replacement.
class OwnTemporaries : public FileManager {
public:
    std::function<void()> beforeReplace;
    std::function<void()> afterReplace;
    AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                    const AtomicFile::Expected& expected) override {
        if (auto step = std::exchange(beforeReplace, nullptr)) step();
        auto replaced = AtomicFile::replace(path, bytes, AtomicFile::TemporaryName::hidden, expected);
        if (auto step = std::exchange(afterReplace, nullptr)) step();
        return replaced;
    }
};

// A writer whose save took the name from a record another copy had just confirmed writes that
// record again with its own; meanwhile the other copy meets the record it wrote, which still lacks
// the confirmed change. The other copy keeps its change, which is later than that record's values
// for the photo, and nothing either copy saved is lost.
TEST_F(SelectionStoreTest, AConfirmedChangeOutlivesARecordWrittenBeforeItWasSeen) {
    write(folder / "sorvin.json", recordWithHeart("start.jpg"));
    OwnTemporaries hereFiles, thereFiles;
    SelectionStore here(folder, support, legacySupport, hereFiles);
    SelectionStore there(folder, support, legacySupport, thereFiles);
    here.load();
    there.load();
    EXPECT_FALSE(saveHearts(here, {"start.jpg", "here-1.jpg"}));
    // There saves without having seen here-1: its record takes the name and here's comes out.
    // Before it writes again, here saves once more and meets that record.
    thereFiles.afterReplace = [&] { EXPECT_FALSE(saveHearts(here, {"start.jpg", "here-1.jpg", "here-2.jpg"})); };
    EXPECT_FALSE(saveHearts(there, {"start.jpg", "there.jpg"}));
    const std::set<std::string> all{"start.jpg", "here-1.jpg", "here-2.jpg", "there.jpg"};
    EXPECT_EQ(store().load().hearts, all);
    // Each copy shows the other's changes, and writes nothing back over them.
    EXPECT_FALSE(saveHearts(here, {"start.jpg", "here-1.jpg", "here-2.jpg", "there.jpg"}));
    EXPECT_FALSE(saveHearts(there, all));
    EXPECT_EQ(store().load().hearts, all);
    EXPECT_TRUE(namesWith(folder, "conflict").empty());
    EXPECT_TRUE(namesWith(folder, ".tmp-").empty());
}

// Two copies change one photo at once, and the other one writes its record while this one saves:
// right before this copy's record goes in, and again right after. This copy's change, written after
// it met the other's, is the one the record keeps, and this copy's screen is not turned back; the
// other copy takes it at its next save. The other copy's counter ran ahead, so its stamp alone
// would have put its change last.
TEST_F(SelectionStoreTest, TheLaterSaveOfAPhotoTwoCopiesChangedStands) {
    write(folder / "sorvin.json", recordWithHeart("start.jpg"));
    OwnTemporaries hereFiles, thereFiles;
    SelectionStore here(folder, support, legacySupport, hereFiles);
    SelectionStore there(folder, support, legacySupport, thereFiles);
    here.load();
    there.load();
    const auto turned = [](double degrees) {
        SelectionSaveValues values;
        values.hearts.insert("start.jpg");
        if (degrees != 0) values.rotations.emplace("same.jpg", degrees);
        return values;
    };
    const auto rotationOnDisk = [&] {
        const auto rotations = store().load().rotations;
        return rotations.contains("same.jpg") ? rotations.at("same.jpg") : 0.0;
    };
    for (int save = 0; save < 3; ++save)
        there.save(turned(0), {});
    hereFiles.beforeReplace = [&] { there.save(turned(10), {}); };
    hereFiles.afterReplace = [&] { there.save(turned(10), {}); };
    here.save(turned(20), {});
    EXPECT_EQ(rotationOnDisk(), 20);
    EXPECT_TRUE(!here.combination() || !here.combination()->paths.contains("same.jpg"));

    there.save(turned(10), {});
    EXPECT_EQ(rotationOnDisk(), 20);
    ASSERT_TRUE(there.combination());
    EXPECT_TRUE(there.combination()->paths.contains("same.jpg"));
    EXPECT_TRUE(namesWith(folder, "conflict").empty());
}

// Where the file system can neither exchange two names nor rename without replacing, another
// writer that found the name free right before this copy's rename renames its own over it a moment
// later, unseen by either rename. The save looks at the record again, finds the other's, combines
// and writes again: both changes are in the record once the save returns.
TEST_F(SelectionStoreTest, ARecordRenamedOverThisOneWhereNamesCannotBeExchangedIsCombined) {
    write(folder / "sorvin.json", recordWithHeart("start.jpg"));
    AtomicFile::setExchangeRefusalForTesting(true, true);
    const std::shared_ptr<void> exchangeAgain(nullptr, [](void*) { AtomicFile::setExchangeRefusalForTesting(false); });
    // The other writer's record, made from the record as it stood before this copy's rename.
    const fs::path elsewhere = root / "elsewhere";
    fs::create_directories(elsewhere);
    fs::copy_file(folder / "sorvin.json", elsewhere / "sorvin.json");
    SelectionStore other(elsewhere, support);
    other.load();
    OwnTemporaries files;
    SelectionStore s(folder, support, legacySupport, files);
    s.load();
    files.afterReplace = [&] {
        EXPECT_FALSE(saveHearts(other, {"start.jpg", "other.jpg"}));
        fs::rename(elsewhere / "sorvin.json", folder / "sorvin.json");
    };
    EXPECT_FALSE(saveHearts(s, {"start.jpg", "mine.jpg"}));
    EXPECT_EQ(store().load().hearts, (std::set<std::string>{"mine.jpg", "other.jpg", "start.jpg"}));
    ASSERT_TRUE(s.combination());
    EXPECT_EQ(s.combination()->paths, std::set<std::string>{"other.jpg"});
}

// One copy where names can be exchanged, the other through a view of the folder that cannot (a
// FUSE mount, so no shared lock), whose rename takes long. The first copy's save lands while the
// other's replacement is under way: right before it moves the record aside (where it used to check
// it, and renamed its own over the one that landed), and between that and its rename. The confirmed
// save is never undone, and nothing is left beside the record. The same where the view places the
// new record by a hard link, as NFS and SMB shares do, and where it cannot link either (its rename
// is then blind, made only where the name is free right before).
TEST_F(SelectionStoreTest, ASaveThatLandsDuringAReplacementWithoutExchangeIsKept) {
    const std::shared_ptr<void> reset(nullptr, [](void*) {
        AtomicFile::setRefusedForTesting({});
        AtomicFile::setReplaceStepHookForTesting({});
    });
    const std::vector<std::pair<std::string, AtomicFile::RefusedForTesting>> views{
        {"renaming without replacing", {true, false, 0}},
        {"linking", {true, true, 0}},
        {"renaming blind", {true, true, EPERM}}};
    for (const auto& [name, refused] : views)
        for (const auto step : {AtomicFile::ReplaceStep::movingAside, AtomicFile::ReplaceStep::naming}) {
            SCOPED_TRACE(fmt::format("the view placing by {}, step {}", name, static_cast<int>(step)));
            write(folder / "sorvin.json", recordWithHeart("start.jpg"));
            OwnTemporaries exchangingFiles, viewFiles;
            SelectionStore exchanging(folder, support, legacySupport, exchangingFiles);
            SelectionStore view(folder, support, legacySupport, viewFiles);
            exchanging.load();
            view.load();
            AtomicFile::setReplaceStepHookForTesting([&](AtomicFile::ReplaceStep at) {
                if (at != step) return;
                AtomicFile::setReplaceStepHookForTesting({});
                AtomicFile::setRefusedForTesting({});
                EXPECT_FALSE(saveHearts(exchanging, {"start.jpg", "exchanged.jpg"}));
                EXPECT_FALSE(exchanging.keptBesideURL()) << "the save is confirmed";
                AtomicFile::setRefusedForTesting(refused);
            });
            AtomicFile::setRefusedForTesting(refused);
            EXPECT_FALSE(saveHearts(view, {"start.jpg", "view.jpg"}));
            AtomicFile::setRefusedForTesting({});
            AtomicFile::setReplaceStepHookForTesting({});
            const std::set<std::string> all{"exchanged.jpg", "start.jpg", "view.jpg"};
            EXPECT_EQ(store().load().hearts, all);
            ASSERT_TRUE(view.combination());
            EXPECT_EQ(view.combination()->paths, std::set<std::string>{"exchanged.jpg"});
            EXPECT_FALSE(saveHearts(exchanging, {"start.jpg", "exchanged.jpg"}));
            EXPECT_EQ(store().load().hearts, all) << "the exchanging copy takes the view's change";
            EXPECT_EQ(entriesInFolder(), 1) << "nothing beside the record";
            fs::remove(folder / "sorvin.json");
        }
}

// A file system that renames but makes no hard links, and can neither exchange two names nor
// rename without replacing (exFAT and FAT through their FUSE drivers answer EROFS or EACCES to a
// link, some shares EPERM): a save over the record places the new one in the folder, where the
// next opening reads it, and leaves nothing beside it.
TEST_F(SelectionStoreTest, ARecordWhereLinksAreRefusedStaysInTheFolder) {
    const std::shared_ptr<void> reset(nullptr, [](void*) { AtomicFile::setRefusedForTesting({}); });
    for (const int refusal : {EROFS, EACCES, EPERM}) {
        SCOPED_TRACE(std::strerror(refusal));
        write(folder / "sorvin.json", recordWithHeart("start.jpg"));
        auto s = store();
        s.load();
        AtomicFile::setRefusedForTesting({true, true, refusal});
        EXPECT_FALSE(saveHearts(s, {"start.jpg", "mine.jpg"})) << "written in the folder";
        EXPECT_FALSE(saveHearts(s, {"mine.jpg"}));
        AtomicFile::setRefusedForTesting({});
        EXPECT_FALSE(s.keptBesideURL());
        EXPECT_EQ(entriesInFolder(), 1) << "the record alone";
        EXPECT_FALSE(fs::exists(fallback()));
        EXPECT_EQ(store().load().hearts, std::set<std::string>{"mine.jpg"});
        fs::remove(folder / "sorvin.json");
    }
}

// A replacement without an exchange cut short after the record was moved aside: the next opening
// finds the record where it went, takes it in and writes it back.
TEST_F(SelectionStoreTest, ARecordMovedAsideByASaveCutShortIsTakenInAtTheNextOpening) {
    write(folder / "sorvin.json", recordWithHeart("start.jpg"));
    const std::shared_ptr<void> reset(nullptr, [](void*) {
        AtomicFile::setExchangeRefusalForTesting(false);
        AtomicFile::setReplaceStepHookForTesting({});
    });
    auto s = store();
    s.load();
    struct CutShort {};
    AtomicFile::setReplaceStepHookForTesting([](AtomicFile::ReplaceStep at) {
        if (at == AtomicFile::ReplaceStep::naming) throw CutShort{};
    });
    AtomicFile::setExchangeRefusalForTesting(true);
    EXPECT_THROW(saveHearts(s, {"start.jpg", "mine.jpg"}), CutShort);
    AtomicFile::setExchangeRefusalForTesting(false);
    AtomicFile::setReplaceStepHookForTesting({});
    ASSERT_FALSE(fs::exists(folder / "sorvin.json"));

    const SelectionLoadResult opened = store().load();
    EXPECT_EQ(opened.hearts, std::set<std::string>{"start.jpg"});
    EXPECT_TRUE(opened.tookInConflictFiles);
    EXPECT_EQ(store().load().hearts, std::set<std::string>{"start.jpg"});
    EXPECT_TRUE(namesWith(folder, "conflict").empty());
}

// A share that stalls while a save is under way, where the record can only be renamed blind: the
// write stalls before the rename, and the rename itself takes 20 s (as the store is told: the time
// of the rename is all it goes by). Once the share answers, the save ends within seconds.
TEST_F(SelectionStoreTest, ASaveOnAShareThatStalledEndsWithinSecondsOfItsAnswer) {
    write(folder / "sorvin.json", recordWithHeart("start.jpg"));
    AtomicFile::setExchangeRefusalForTesting(true, true);
    const std::shared_ptr<void> exchangeAgain(nullptr, [](void*) { AtomicFile::setExchangeRefusalForTesting(false); });
    test::HeldWrites share;
    share.reportBlindRenamesTaking(seconds(20));
    SelectionStore s(folder, support, legacySupport, share);
    s.load();
    share.hold();
    steady_clock::time_point ended;
    std::thread saving([&] {
        try {
            saveHearts(s, {"start.jpg", "mine.jpg"});
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
        ended = steady_clock::now();
    });
    const bool started = share.waitUntilWriteStarted();
    std::this_thread::sleep_for(seconds(2)); // the stall of the write
    const auto answered = steady_clock::now();
    share.release();
    saving.join();
    ASSERT_TRUE(started);
    EXPECT_LT(ended - answered, seconds(3));
    EXPECT_EQ(store().load().hearts, (std::set<std::string>{"mine.jpg", "start.jpg"}));
}

// A share that gives a file another time once it was closed (as the server sets it when the write
// ends): the record this copy wrote last shows another time at the next save than the one its
// write saw, and is still this copy's own, not another writer's to read and combine. The same
// whether the names are exchanged or the record is moved aside.
TEST_F(SelectionStoreTest, ARecordThatTheShareRetimedIsStillThisCopysOwn) {
    class RetimingShare : public FileManager {
    public:
        std::vector<bool> foundAnother;
        AtomicFile::Replacement replace(const fs::path& path, std::string_view bytes,
                                        const AtomicFile::Expected& expected) override {
            const AtomicFile::Replacement replaced = FileManager::replace(path, bytes, expected);
            foundAnother.push_back(replaced.unexpected.has_value());
            struct stat written {};
            EXPECT_EQ(::stat(path.c_str(), &written), 0);
            const timespec times[2] = {{0, UTIME_OMIT}, {written.st_mtim.tv_sec + 2, 0}};
            EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
            return replaced;
        }
    };
    const std::shared_ptr<void> reset(nullptr, [](void*) { AtomicFile::setRefusedForTesting({}); });
    for (const bool exchanging : {true, false}) {
        SCOPED_TRACE(exchanging ? "names exchanged" : "the record moved aside");
        AtomicFile::setRefusedForTesting({!exchanging, false, 0});
        RetimingShare share;
        SelectionStore s(folder, support, legacySupport, share);
        s.load();
        EXPECT_FALSE(saveHearts(s, {"a.jpg"}));
        EXPECT_FALSE(saveHearts(s, {"a.jpg", "b.jpg"}));
        EXPECT_FALSE(saveHearts(s, {"b.jpg"}));
        EXPECT_EQ(share.foundAnother, std::vector<bool>(3, false)) << "each save found its own record";
        EXPECT_EQ(store().load().hearts, std::set<std::string>{"b.jpg"});
        EXPECT_EQ(entriesInFolder(), 1);
        fs::remove(folder / "sorvin.json");
    }
}

// A record rewritten in place keeps its inode (and ext4 gives a new file a freed inode after two
// renames): the check that tells it from the one read must not rest on the inode alone, nor, where
// the time is kept too (a clock's tick, or a writer that sets it), on the version at all.
TEST_F(SelectionStoreTest, ARecordReplacedUnderTheSameInodeIsSeen) {
    for (const bool timeMoved : {true, false}) {
        SCOPED_TRACE(timeMoved ? "another time" : "the same time");
        write(folder / "sorvin.json", recordWithHeart("aaaa.jpg"));
        auto s = store();
        s.load();
        struct stat was {};
        ASSERT_EQ(::stat((folder / "sorvin.json").c_str(), &was), 0);
        // The same length, the same inode.
        std::ofstream(folder / "sorvin.json", std::ios::binary | std::ios::in | std::ios::out)
            << recordWithHeart("bbbb.jpg");
        timespec times[2] = {{0, UTIME_OMIT}, was.st_mtim};
        if (timeMoved) times[1] = {was.st_mtim.tv_sec + 5, 0};
        ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "sorvin.json").c_str(), times, 0), 0);
        struct stat now {};
        ASSERT_EQ(::stat((folder / "sorvin.json").c_str(), &now), 0);
        ASSERT_EQ(now.st_ino, was.st_ino);
        ASSERT_EQ(now.st_size, was.st_size);
        ASSERT_EQ(now.st_mtim.tv_nsec == was.st_mtim.tv_nsec && now.st_mtim.tv_sec == was.st_mtim.tv_sec, !timeMoved);

        EXPECT_FALSE(saveHearts(s, {"aaaa.jpg", "mine.jpg"}));
        EXPECT_EQ(store().load().hearts, (std::set<std::string>{"bbbb.jpg", "mine.jpg"}));
        fs::remove(folder / "sorvin.json");
    }
}

// The fallback and the folder's record are ordered by what was read, whatever their clocks say:
// the fallback notes the folder's record it started from, carries on from it while it is still
// there, and is combined with it photo by photo once it changed. A save that writes the folder's
// record removes the fallback, whose values it now holds.
TEST_F(SelectionStoreTest, TheFallbackAndTheFolderFileAreOrderedWithoutClocks) {
    for (const auto shift : {hours(1), -hours(1)}) {
        for (const bool changedSince : {false, true}) {
            SCOPED_TRACE(fmt::format("fallback {} h, folder record changed since: {}",
                                     duration_cast<hours>(shift).count(), changedSince));
            fs::remove_all(root.path());
            fs::create_directories(folder);
            write(folder / "sorvin.json", recordWithHeart("a.jpg"));
            files.unwritableFolders = {folder};
            auto readOnly = store();
            readOnly.load();
            EXPECT_TRUE(saveHearts(readOnly, {"a.jpg", "fallback.jpg"}));
            fs::last_write_time(fallback(), fs::file_time_type::clock::now() + shift);
            files.unwritableFolders.clear();
            if (changedSince) {
                auto elsewhere = store();
                EXPECT_EQ(elsewhere.load().hearts, (std::set<std::string>{"a.jpg", "fallback.jpg"}));
                // Another computer, which has no such fallback, writes the folder's record.
                write(folder / "next", recordWithHeart("b.jpg"));
                fs::rename(folder / "next", folder / "sorvin.json");
            }
            auto s = store();
            const SelectionLoadResult loaded = s.load();
            const std::set<std::string> expected =
                changedSince ? std::set<std::string>{"b.jpg", "fallback.jpg"}
                             : std::set<std::string>{"a.jpg", "fallback.jpg"};
            EXPECT_EQ(loaded.hearts, expected);
            EXPECT_EQ(loaded.usesFallback, !changedSince);
            std::set<std::string> more = expected;
            more.insert("more.jpg");
            EXPECT_FALSE(saveHearts(s, more));
            EXPECT_FALSE(fs::exists(fallback()));
            EXPECT_EQ(store().load().hearts, more);
        }
    }
}

// Names that JSON must escape, in the photos and in the notes of when each was changed (a photo set
// back to its defaults is named only there): the record reads back whole, and so do the notes. A
// name that is not UTF-8 never reaches a record: the scan leaves such files out, and a save handed
// one writes nothing at all.
TEST_F(SelectionStoreTest, NamesThatMustBeEscapedReadBackFromEveryPartOfTheRecord) {
    const std::string quote = "say \"cheese\".jpg", backslash = "back\\slash.jpg",
                      control = std::string("bell\x07 tab\t line\n.jpg"), setBack = "\x01\x1f \"\\.jpg";
    auto s = store();
    EXPECT_FALSE(saveHearts(s, {quote, backslash, control, setBack}));
    EXPECT_FALSE(saveHearts(s, {quote, backslash, control}));
    const auto document = SelectionJSONValue::Json::parse(read(folder / "sorvin.json"));
    const auto& stamps = document.at("stamps");
    for (const auto& name : {quote, backslash, control, setBack})
        EXPECT_TRUE(stamps.contains(name)) << name;
    EXPECT_FALSE(document.at("photos").contains(setBack));

    const SelectionLoadResult loaded = store().load();
    EXPECT_FALSE(loaded.warning);
    EXPECT_EQ(loaded.hearts, (std::set<std::string>{quote, backslash, control}));
    EXPECT_TRUE(namesWith(folder, "broken").empty());
}

} // namespace
} // namespace sorvin
