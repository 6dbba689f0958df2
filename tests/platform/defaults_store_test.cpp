#include "platform/atomic_file.hpp"
#include "platform/defaults_store.hpp"
#include "platform/file_lock.hpp"
#include "support/failing_preferences.hpp"
#include "support/held_preference_reads.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <variant>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

TEST(DefaultsStore, ValuesKeepTheirKindThroughTheFile) {
    test::TemporaryFolder folder;
    const auto file = folder / "Sorvin" / "preferences.json";
    {
        DefaultsStore store(file);
        store.set("flag", true);
        store.set("count", 3000);
        store.set("width", 3000.0);
        store.set("name", "写真 \"one\"/two");
        store.set("list", DefaultsValue::List{"a", 2, false});
        store.set("nested", DefaultsValue::Dictionary{{"x", 1.5}, {"y", DefaultsValue::List{}}});
        store.set("big", std::uint64_t{1} << 63);
    }
    DefaultsStore reopened(file);
    EXPECT_EQ(*reopened.object("flag")->boolean(), true);
    EXPECT_EQ(reopened.object("flag")->number(), std::nullopt);
    EXPECT_EQ(*reopened.object("count")->integer(), 3000);
    ASSERT_NE(reopened.object("width")->floating(), nullptr);
    EXPECT_EQ(*reopened.object("width")->floating(), 3000.0);
    EXPECT_EQ(reopened.string("name"), "写真 \"one\"/two");
    EXPECT_EQ(*reopened.object("list"), (DefaultsValue::List{"a", 2, false}));
    EXPECT_EQ(*reopened.object("nested"),
              (DefaultsValue::Dictionary{{"x", 1.5}, {"y", DefaultsValue::List{}}}));
    ASSERT_NE(reopened.object("big")->floating(), nullptr);
    EXPECT_EQ(reopened.setAsideFile(), std::nullopt);
}

TEST(DefaultsStore, RegisteredValuesAreReadOnlyWhileNothingIsStoredAndNeverWritten) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    DefaultsStore store(file);
    store.registerDefaults({{"a", 1}, {"b", "registered"}});
    EXPECT_EQ(*store.object("a")->integer(), 1);
    store.set("a", false);
    EXPECT_EQ(*store.object("a")->boolean(), false);
    store.remove("a");
    EXPECT_EQ(*store.object("a")->integer(), 1);
    store.set("c", 2);

    const auto all = store.dictionaryRepresentation();
    EXPECT_EQ(all.size(), 3u);
    store.waitUntilWritten();
    const auto written = nlohmann::json::parse(AtomicFile::read(file));
    EXPECT_EQ(written, nlohmann::json::parse(R"({"c": 2})"));
}

TEST(DefaultsStore, DamagedFilesAreSetAsideAndTheStoreStartsEmpty) {
    const std::vector<std::string> damaged = {
        "{\"sorvin.sortKey\": \"name\"", // cut short
        "[1, 2, 3]",                     // not an object
        "not json at all",               //
        "{\"a\": \"\xff\xfe\"}",         // not UTF-8
        "",                              // empty
    };
    for (const auto& bytes : damaged) {
        SCOPED_TRACE(bytes);
        test::TemporaryFolder folder;
        const auto file = folder / "preferences.json";
        AtomicFile::write(file, bytes);
        AtomicFile::write(folder / "preferences.json.damaged", "an earlier one");
        DefaultsStore store(file);
        EXPECT_TRUE(store.dictionaryRepresentation().empty());
        ASSERT_TRUE(store.setAsideFile());
        EXPECT_EQ(*store.setAsideFile(), folder / "preferences.json.damaged-2");
        EXPECT_EQ(AtomicFile::read(*store.setAsideFile()), bytes);
        EXPECT_EQ(AtomicFile::read(folder / "preferences.json.damaged"), "an earlier one");
        EXPECT_FALSE(fs::exists(file));
        store.set("k", 1);
        store.waitUntilWritten();
        EXPECT_EQ(*DefaultsStore(file).object("k")->integer(), 1);
    }
}

TEST(DefaultsStore, APreferenceFileThatIsNotAFileIsSetAsideWithoutWaiting) {
    for (const std::string kind : {"fifo", "folder", "device"}) {
        SCOPED_TRACE(kind);
        test::TemporaryFolder folder;
        const auto file = folder / "preferences.json";
        if (kind == "fifo") {
            ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
        } else if (kind == "folder") {
            fs::create_directory(file);
        } else {
            fs::create_symlink("/dev/zero", file);
        }
        DefaultsStore store(file);
        EXPECT_TRUE(store.dictionaryRepresentation().empty());
        ASSERT_TRUE(store.setAsideFile());
        store.set("k", 1);
        store.waitUntilWritten();
        EXPECT_EQ(*DefaultsStore(file).object("k")->integer(), 1);
    }
}

TEST(DefaultsStore, ValuesOfUnknownKindsAreDroppedAlone) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    AtomicFile::write(file, R"({"gone": null, "kept": 5, "list": [1, null, "x"]})");
    DefaultsStore store(file);
    EXPECT_EQ(store.object("gone"), std::nullopt);
    EXPECT_EQ(*store.object("kept")->integer(), 5);
    EXPECT_EQ(*store.object("list"), (DefaultsValue::List{1, "x"}));
    EXPECT_EQ(store.setAsideFile(), std::nullopt);
}

TEST(DefaultsStore, DeeplyNestedValuesAreCutWithoutHarm) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    const std::size_t depth = 1'000'000;
    AtomicFile::write(file,
                      "{\"deep\": " + std::string(depth, '[') + std::string(depth, ']') + ", \"kept\": 1}");
    DefaultsStore store(file);
    EXPECT_EQ(*store.object("kept")->integer(), 1);
    // The outer levels are kept, the levels past the limit dropped.
    EXPECT_NE(store.object("deep")->list(), nullptr);
}

TEST(DefaultsStore, ReadOnlyStoresLeaveTheirFileAlone) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    AtomicFile::write(file, "damaged");
    DefaultsStore broken(file, DefaultsStore::Access::ReadOnly);
    EXPECT_EQ(broken.setAsideFile(), std::nullopt);
    EXPECT_EQ(AtomicFile::read(file), "damaged");

    AtomicFile::write(file, R"({"a": 1})");
    DefaultsStore store(file, DefaultsStore::Access::ReadOnly);
    store.set("a", 2);
    EXPECT_EQ(*store.object("a")->integer(), 2);
    EXPECT_EQ(AtomicFile::read(file), R"({"a": 1})");
}

// A value the store already holds is not written again, unless the last write failed: then
// setting it again tries once more.
TEST(DefaultsStore, OnlyAChangeOrAFailedWriteIsWritten) {
    test::TemporaryFolder folder;
    const auto file = folder / "Sorvin" / "preferences.json";
    DefaultsStore store(file);
    store.set("a", 1);
    store.set("list", DefaultsValue::List{"x"});
    store.waitUntilWritten();
    fs::remove(file); // a write would bring it back
    store.set("a", 1);
    store.setValues({{"a", 1}, {"list", DefaultsValue::List{"x"}}});
    store.waitUntilWritten();
    EXPECT_FALSE(fs::exists(file));
    store.set("a", 1.0); // another kind of value is a change
    store.waitUntilWritten();
    EXPECT_TRUE(fs::exists(file));

    // A file where the folder should be makes every write fail, even for root.
    fs::rename(folder / "Sorvin", folder / "moved");
    AtomicFile::write(folder / "Sorvin", "in the way");
    store.set("a", 2);
    EXPECT_EQ(*store.object("a")->integer(), 2);
    store.waitUntilWritten();
    fs::remove(folder / "Sorvin");
    fs::rename(folder / "moved", folder / "Sorvin");
    EXPECT_NE(DefaultsStore(file).object("a")->floating(), nullptr) << "the failed write left the file";
    store.set("a", 2);
    store.waitUntilWritten();
    EXPECT_EQ(*DefaultsStore(file).object("a")->integer(), 2);
}

TEST(DefaultsStore, PlainReadsConvertLikeThePlatformStore) {
    DefaultsStore store;
    store.setValues({{"true", true},
                     {"zero", 0},
                     {"half", 0.5},
                     {"yes", "YES"},
                     {"textNumber", " 2.5 "},
                     {"word", "maybe"},
                     {"list", DefaultsValue::List{"a", "b"}},
                     {"mixed", DefaultsValue::List{"a", 1}}});
    EXPECT_TRUE(store.boolValue("true"));
    EXPECT_FALSE(store.boolValue("zero"));
    EXPECT_TRUE(store.boolValue("half"));
    EXPECT_TRUE(store.boolValue("yes"));
    EXPECT_TRUE(store.boolValue("textNumber"));
    EXPECT_FALSE(store.boolValue("word"));
    EXPECT_FALSE(store.boolValue("missing"));

    EXPECT_EQ(store.doubleValue("true"), 1.0);
    EXPECT_EQ(store.doubleValue("half"), 0.5);
    EXPECT_EQ(store.doubleValue("textNumber"), 2.5);
    EXPECT_EQ(store.doubleValue("word"), 0.0);
    EXPECT_EQ(store.doubleValue("list"), 0.0);

    EXPECT_EQ(store.string("yes"), "YES");
    EXPECT_EQ(store.string("zero"), std::nullopt);
    EXPECT_EQ(store.stringArray("list"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(store.stringArray("mixed"), std::nullopt);
}

// Whether the store holds exactly this value (of this kind) under the key.
bool holds(const DefaultsStore& store, std::string_view key, const DefaultsValue& value) {
    const auto stored = store.object(key);
    return stored && *stored == value;
}

// Two copies of the program, each with its store on the one file: a write puts over the file only
// what its own copy changed, so neither wipes the other's values.
TEST(DefaultsStore, TwoCopiesKeepEachOthersChanges) {
    test::TemporaryFolder folder;
    const auto file = folder / "Sorvin" / "preferences.json";
    DefaultsStore first(file);
    DefaultsStore second(file);
    // Each step written before the next.
    const auto step = [](DefaultsStore& store, const std::function<void(DefaultsStore&)>& change) {
        change(store);
        store.waitUntilWritten();
    };
    step(first, [](DefaultsStore& store) { store.setValues({{"shared", 1}, {"gone", true}}); });
    EXPECT_FALSE(second.object("gone")) << "it never read the first's values";
    step(second, [](DefaultsStore& store) { store.set("lowMemoryMode", true); });
    step(first, [](DefaultsStore& store) { store.set("includeSubfolders", false); });
    step(second, [](DefaultsStore& store) { store.remove("gone"); });
    step(first, [](DefaultsStore& store) { store.remove("gone"); });
    step(second, [](DefaultsStore& store) { store.set("shared", 2); });

    const auto written = nlohmann::json::parse(AtomicFile::read(file));
    EXPECT_EQ(written, nlohmann::json::parse(
                           R"({"shared": 2, "lowMemoryMode": true, "includeSubfolders": false})"));
    // Each write read the other's values; a refresh reads them without a write of its own.
    EXPECT_TRUE(holds(first, "lowMemoryMode", true));
    EXPECT_TRUE(holds(first, "shared", 1));
    first.refresh();
    first.waitUntilWritten();
    EXPECT_TRUE(holds(first, "shared", 2));
    // A value this copy held before the other changed it is still a change when set again.
    first.set("shared", 1);
    first.waitUntilWritten();
    EXPECT_TRUE(holds(DefaultsStore(file), "shared", 1));
}

// A change that could not be written stays over what the file holds, through refreshes, until a
// later write puts it in the file.
TEST(DefaultsStore, AnUnwrittenChangeStaysOverTheOtherCopysValues) {
    test::TemporaryFolder folder;
    const auto file = folder / "Sorvin" / "preferences.json";
    DefaultsStore first(file);
    DefaultsStore second(file);
    first.set("a", 1);
    first.waitUntilWritten();
    const auto lockFile = fs::path(file) += ".lock";
    // A file where the folder should be makes the write fail.
    fs::rename(folder / "Sorvin", folder / "moved");
    AtomicFile::write(folder / "Sorvin", "in the way");
    first.set("b", 1);
    first.waitUntilWritten();
    EXPECT_TRUE(first.writeError());
    fs::remove(folder / "Sorvin");
    fs::rename(folder / "moved", folder / "Sorvin");
    second.set("c", 1);
    second.waitUntilWritten();
    first.refresh();
    first.waitUntilWritten();
    EXPECT_TRUE(holds(first, "b", 1));
    EXPECT_TRUE(holds(first, "c", 1));
    first.set("d", 1);
    first.waitUntilWritten();
    EXPECT_FALSE(first.writeError());
    EXPECT_EQ(nlohmann::json::parse(AtomicFile::read(file)),
              nlohmann::json::parse(R"({"a": 1, "b": 1, "c": 1, "d": 1})"));
    auto another = FileLock::tryAcquire(lockFile, {});
    EXPECT_TRUE(std::holds_alternative<std::unique_ptr<FileLock>>(another)) << "the lock is let go";
}

// A writer that holds the lock far longer than a write takes (a copy frozen midway) fails this
// write after a while instead of holding it for good; the change goes with the next write.
TEST(DefaultsStore, ALockHeldForGoodFailsTheWriteAfterAWhile) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    DefaultsStore store(file);
    store.set("a", 1);
    store.waitUntilWritten();
    {
        auto frozen = FileLock::tryAcquire(fs::path(file).concat(".lock"), {});
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<FileLock>>(frozen));
        store.set("b", 2);
        store.waitUntilWritten();
        EXPECT_EQ(store.writeError(), std::make_error_code(std::errc::device_or_resource_busy));
    }
    store.set("c", 3);
    store.waitUntilWritten();
    EXPECT_FALSE(store.writeError());
    EXPECT_EQ(nlohmann::json::parse(AtomicFile::read(file)),
              nlohmann::json::parse(R"({"a": 1, "b": 2, "c": 3})"));
}

// A file damaged between two writes is set aside as at opening, and the write starts from no values.
TEST(DefaultsStore, AFileDamagedMeanwhileIsSetAsideByTheNextWrite) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    DefaultsStore store(file);
    store.set("a", 1);
    store.waitUntilWritten();
    AtomicFile::write(file, "{\"cut");
    store.refresh();
    store.waitUntilWritten();
    EXPECT_TRUE(holds(store, "a", 1)) << "a read leaves what it cannot read";
    store.set("b", 2);
    store.waitUntilWritten();
    EXPECT_EQ(nlohmann::json::parse(AtomicFile::read(file)), nlohmann::json::parse(R"({"b": 2})"));
    ASSERT_TRUE(store.setAsideFile());
    EXPECT_EQ(AtomicFile::read(*store.setAsideFile()), "{\"cut");
}

// Two copies writing at once, many times: every change of each is in the file.
TEST(DefaultsStore, TwoCopiesWritingAtOnceLoseNothing) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    DefaultsStore first(file);
    DefaultsStore second(file);
    constexpr int kChanges = 80;
    const auto writeMany = [](DefaultsStore& store, const std::string& prefix) {
        for (int i = 0; i < kChanges; ++i) {
            store.set(prefix + std::to_string(i), i);
            if (i % 10 == 9) store.remove(prefix + std::to_string(i - 5));
        }
    };
    std::thread other([&] { writeMany(second, "second."); });
    writeMany(first, "first.");
    other.join();
    first.waitUntilWritten();
    second.waitUntilWritten();
    EXPECT_FALSE(first.writeError());
    EXPECT_FALSE(second.writeError());
    DefaultsStore reopened(file);
    for (const std::string prefix : {"first.", "second."})
        for (int i = 0; i < kChanges; ++i) {
            const bool removed = i % 10 == 4;
            EXPECT_EQ(reopened.object(prefix + std::to_string(i)).has_value(), !removed) << prefix << i;
        }
}

const std::string previousVersionFile = test::previousVersionPreferences();
using Step = DefaultsStore::FileStep;

// Runs the check once for each error of the system (ENOENT with the file still listed; EINVAL and
// EFBIG, which a file that is no regular file or is too large gives too) at each step of a read,
// on a file the previous version wrote.
void forEachFailure(const std::function<void(int error, Step step, const fs::path& file)>& check) {
    for (const int error : {EIO, ESTALE, EACCES, EMFILE, ENOENT, EINVAL, EFBIG})
        for (const Step step : {Step::open, Step::read}) {
            SCOPED_TRACE(::testing::Message()
                         << std::generic_category().message(error) << " at step " << static_cast<int>(step));
            test::TemporaryFolder folder;
            const auto file = folder / "preferences.json";
            AtomicFile::write(file, previousVersionFile);
            check(error, step, file);
            for (const auto& entry : fs::directory_iterator(folder.path()))
                EXPECT_TRUE(entry.path() == file || entry.path() == fs::path(file).concat(".lock"))
                    << "beside the file: " << entry.path();
        }
}

// The system fails a step of reading the file when the store opens: it is looked at again, and a
// blink is read through. Where the failure stays, the store runs on no stored values, and a write
// fails (its change kept) rather than replace the file; once the file can be read, the changes are
// made over what it holds. Nothing is set aside.
TEST(DefaultsStore, AFileTheSystemCannotReadAtOpeningIsNeverSetAsideNorWrittenOver) {
    forEachFailure([](int error, Step step, const fs::path& file) {
        {
            const test::FailingPreferences blink(file, step, error, 2);
            DefaultsStore store(file);
            EXPECT_TRUE(holds(store, "sorvin.showGrid", false)) << "read again after a blink";
            EXPECT_FALSE(store.readError());
            EXPECT_FALSE(store.writeError());
        }
        test::FailingPreferences failing(file, step, error);
        DefaultsStore store(file);
        store.registerDefaults({{"sorvin.showGrid", true}});
        EXPECT_TRUE(holds(store, "sorvin.showGrid", true)) << "the registered value";
        EXPECT_EQ(store.readError(), std::error_code(error, std::generic_category()));
        EXPECT_EQ(store.writeError(), store.readError()) << "said as a failed write";
        store.set("sorvin.showGrid", true);
        store.waitUntilWritten();
        store.edit(
            [](DefaultsStore::Dictionary& values) { values.try_emplace("sorvin.lowMemoryMode", true); });
        store.waitUntilWritten();
        EXPECT_EQ(store.writeError(), std::error_code(error, std::generic_category()));
        EXPECT_EQ(AtomicFile::read(file), previousVersionFile);
        EXPECT_GT(failing.failures(), 4) << "each write looked again";

        failing.stop();
        store.set("sorvin.parameterTab", 3);
        store.waitUntilWritten();
        EXPECT_FALSE(store.writeError());
        EXPECT_FALSE(store.readError());
        auto expected = nlohmann::json::parse(previousVersionFile);
        expected["sorvin.showGrid"] = true;
        expected["sorvin.parameterTab"] = 3;
        EXPECT_EQ(nlohmann::json::parse(AtomicFile::read(file)), expected);
        EXPECT_TRUE(
            holds(store, "sorvin.recentFolders", DefaultsValue::List{"/photos/2024/京都", "/photos/2023"}));
        EXPECT_EQ(store.setAsideFile(), std::nullopt);
    });
}

// The system fails a step of the read that a write makes first where another copy changed the
// file: a blink is read through; a failure that stays fails the write, leaves the file as it was
// and keeps the change for the next write. Nothing is set aside.
TEST(DefaultsStore, AWriteThatCannotReadTheFileFailsAndKeepsItsChange) {
    forEachFailure([](int error, Step step, const fs::path& file) {
        DefaultsStore store(file);
        const auto changedByAnotherCopy = [&](const std::string& key) {
            DefaultsStore other(file);
            other.set(key, 1);
        };
        {
            changedByAnotherCopy("other");
            const test::FailingPreferences blink(file, step, error, 3);
            store.set("blink", 1);
            store.waitUntilWritten();
            EXPECT_FALSE(store.writeError());
            EXPECT_GE(blink.failures(), 1) << "the file was read";
        }
        changedByAnotherCopy("another");
        const std::string before = AtomicFile::read(file);
        {
            const test::FailingPreferences failing(file, step, error);
            store.set("sorvin.showGrid", true);
            store.waitUntilWritten();
            EXPECT_EQ(store.writeError(), std::error_code(error, std::generic_category()));
            EXPECT_TRUE(holds(store, "sorvin.showGrid", true));
            EXPECT_TRUE(holds(store, "sorvin.parameterTab", 10));
            EXPECT_EQ(AtomicFile::read(file), before);
        }
        store.set("later", 2);
        store.waitUntilWritten();
        EXPECT_FALSE(store.writeError());
        auto expected = nlohmann::json::parse(previousVersionFile);
        expected["other"] = 1;
        expected["another"] = 1;
        expected["blink"] = 1;
        expected["sorvin.showGrid"] = true;
        expected["later"] = 2;
        EXPECT_EQ(nlohmann::json::parse(AtomicFile::read(file)), expected);
        EXPECT_EQ(store.setAsideFile(), std::nullopt);
    });
}

// A copy opened while the file could not be read takes it in at a refresh once it can, with its
// own changes over it.
TEST(DefaultsStore, ARefreshTakesInAFileThatCouldNotBeReadAtOpening) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    AtomicFile::write(file, previousVersionFile);
    test::FailingPreferences failing(file, Step::open, EIO);
    DefaultsStore store(file);
    store.refresh();
    store.waitUntilWritten();
    EXPECT_EQ(store.object("sorvin.showGrid"), std::nullopt);
    failing.stop();
    store.refresh();
    store.waitUntilWritten();
    EXPECT_TRUE(holds(store, "sorvin.showGrid", false));
    EXPECT_FALSE(store.writeError()) << "the file holds everything the store holds";
}

Json readJson(const fs::path& file) {
    return nlohmann::json::parse(AtomicFile::read(file));
}

// A change is made in memory at once and written by the store's own thread: while that thread
// waits on the disk, the caller's thread reads and changes the values without waiting, since the
// store's lock is not held meanwhile.
TEST(DefaultsStoreWriter, TheStoresThreadWritesWhileTheCallerGoesOn) {
    test::TemporaryFolder folder;
    const auto file = folder / "Sorvin" / "preferences.json";
    DefaultsStore store(file);
    test::HeldPreferenceReads disk(file);
    disk.hold();
    store.set("a", 1);
    ASSERT_TRUE(disk.waitUntilHolding());

    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(holds(store, "a", 1));
    store.set("b", 2);
    store.edit([](DefaultsStore::Dictionary& values) { values.insert_or_assign("c", DefaultsValue(3)); });
    store.remove("a");
    EXPECT_EQ(store.dictionaryRepresentation().size(), 2u);
    EXPECT_FALSE(store.writeError());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1))
        << "the caller waited for the disk";
    EXPECT_FALSE(fs::exists(file));

    disk.letGo();
    store.waitUntilWritten();
    EXPECT_EQ(readJson(file), Json::parse(R"({"b": 2, "c": 3})"));
    EXPECT_FALSE(disk.readers().contains(std::this_thread::get_id())) << "the caller read the file";
}

// The changes made while a write waits on the disk go together in the next write, in the order
// they were made, the last value of a key over the earlier ones.
TEST(DefaultsStoreWriter, ChangesMadeDuringAWriteGoInTheNextInTheirOrder) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    DefaultsStore store(file);
    test::HeldPreferenceReads disk(file);
    disk.hold();
    store.set("n", 0);
    ASSERT_TRUE(disk.waitUntilHolding());
    for (int i = 1; i <= 5; ++i) {
        store.edit([i](DefaultsStore::Dictionary& values) {
            DefaultsValue::List order;
            if (const auto it = values.find("order"); it != values.end() && it->second.list())
                order = *it->second.list();
            // Made again over the file at the write: the same list, not a longer one.
            if (std::find(order.begin(), order.end(), DefaultsValue(i)) == order.end()) order.push_back(i);
            values.insert_or_assign("order", DefaultsValue(std::move(order)));
        });
        store.set("n", i);
    }
    disk.letGo();
    store.waitUntilWritten();
    EXPECT_EQ(disk.reads(), 2) << "one write held, one for every change made meanwhile";
    EXPECT_EQ(readJson(file), Json::parse(R"({"n": 5, "order": [1, 2, 3, 4, 5]})"));
    EXPECT_EQ(*store.object("order"), (DefaultsValue::List{1, 2, 3, 4, 5}));
}

// A failed write is told on the report queue (the main thread's), never on the store's thread;
// whoever waits for the change hears of the failure, and of the next write that puts it in.
TEST(DefaultsStoreWriter, AFailedWriteIsToldOnTheReportQueue) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    AtomicFile::write(file, previousVersionFile);
    test::ManualMainQueue queue;
    DefaultsStore store(file);
    store.reportOn(&queue);
    std::vector<std::error_code> failures;
    std::vector<std::optional<std::error_code>> written;
    std::set<std::thread::id> toldOn;
    const auto failed = store.writeFailed.connect([&](std::error_code error) {
        failures.push_back(error);
        toldOn.insert(std::this_thread::get_id());
    });
    const auto writtenNow = [&] {
        store.whenWritten([&](std::optional<std::error_code> error) {
            written.push_back(error);
            toldOn.insert(std::this_thread::get_id());
        });
        store.waitUntilWritten();
    };
    {
        const test::FailingPreferences failing(file, Step::open, EIO);
        store.set("sorvin.showGrid", true);
        writtenNow();
    }
    EXPECT_TRUE(failures.empty() && written.empty()) << "told before the report queue ran";
    queue.runPending();
    const std::error_code eio(EIO, std::generic_category());
    EXPECT_EQ(failures, std::vector{eio});
    EXPECT_EQ(written, std::vector<std::optional<std::error_code>>{eio});
    EXPECT_EQ(AtomicFile::read(file), previousVersionFile);

    store.set("later", 1);
    writtenNow();
    queue.runPending();
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_EQ(written, (std::vector<std::optional<std::error_code>>{eio, std::nullopt}));
    EXPECT_EQ(toldOn, std::set{std::this_thread::get_id()});
    auto expected = Json::parse(previousVersionFile);
    expected["sorvin.showGrid"] = true;
    expected["later"] = 1;
    EXPECT_EQ(readJson(file), expected);

    // Without a report queue nobody is told.
    store.reportOn(nullptr);
    store.set("unheard", 1);
    writtenNow();
    queue.runPending();
    EXPECT_EQ(written.size(), 2u);
}

// A store that goes (at the end of the program) first writes what it holds, the write under way
// and the one still waiting, however long the disk takes.
TEST(DefaultsStoreWriter, AStoreThatGoesWaitsForItsWrites) {
    test::TemporaryFolder folder;
    const auto file = folder / "preferences.json";
    auto store = std::make_unique<DefaultsStore>(file);
    test::HeldPreferenceReads disk(file);
    disk.hold();
    store->set("first", 1);
    ASSERT_TRUE(disk.waitUntilHolding());
    store->set("last", 2);
    std::atomic<bool> gone = false;
    std::thread ending([&] {
        store.reset();
        gone = true;
    });
    // Not gone while its write waits: looked at for a while.
    for (int look = 0; look < 20 && !gone; ++look)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(gone);
    disk.letGo();
    ending.join();
    EXPECT_EQ(readJson(file), Json::parse(R"({"first": 1, "last": 2})"));
}

} // namespace
} // namespace sorvin
