#include "platform/atomic_file.hpp"
#include "platform/defaults_store.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

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
    fs::remove(file); // a write would bring it back
    store.set("a", 1);
    store.setValues({{"a", 1}, {"list", DefaultsValue::List{"x"}}});
    EXPECT_FALSE(fs::exists(file));
    store.set("a", 1.0); // another kind of value is a change
    EXPECT_TRUE(fs::exists(file));

    // A file where the folder should be makes every write fail, even for root.
    fs::rename(folder / "Sorvin", folder / "moved");
    AtomicFile::write(folder / "Sorvin", "in the way");
    store.set("a", 2);
    EXPECT_EQ(*store.object("a")->integer(), 2);
    fs::remove(folder / "Sorvin");
    fs::rename(folder / "moved", folder / "Sorvin");
    EXPECT_NE(DefaultsStore(file).object("a")->floating(), nullptr) << "the failed write left the file";
    store.set("a", 2);
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

} // namespace
} // namespace sorvin
