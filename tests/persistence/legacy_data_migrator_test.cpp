#include "persistence/legacy_data_migrator.hpp"
#include "platform/atomic_file.hpp"
#include "support/scoped_environment.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;

TEST(SupportFolderMigration, CopiesThePredecessorsFolderWholeOnce) {
    test::TemporaryFolder base;
    fs::create_directories(base / "Tolvanite" / "records" / "deep");
    AtomicFile::write(base / "Tolvanite" / "records" / "deep" / "a.json", "{\"version\":2}");
    AtomicFile::write(base / "Tolvanite" / "top.txt", "top");

    EXPECT_TRUE(LegacyDataMigrator::copyApplicationSupportIfNeeded(base.path()));
    EXPECT_EQ(AtomicFile::read(base / "Sorvin" / "records" / "deep" / "a.json"), "{\"version\":2}");
    EXPECT_EQ(AtomicFile::read(base / "Sorvin" / "top.txt"), "top");
    EXPECT_EQ(AtomicFile::read(base / "Tolvanite" / "top.txt"), "top");

    AtomicFile::write(base / "Tolvanite" / "top.txt", "changed later");
    EXPECT_FALSE(LegacyDataMigrator::copyApplicationSupportIfNeeded(base.path()));
    EXPECT_EQ(AtomicFile::read(base / "Sorvin" / "top.txt"), "top");
    // Only the two folders: no temporary folder is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(base.path()), fs::directory_iterator()), 2);
}

TEST(SupportFolderMigration, FilesInPlaceOfFoldersAndAMissingPredecessorCopyNothing) {
    test::TemporaryFolder blocked;
    AtomicFile::write(blocked / "Sorvin", "a file");
    fs::create_directory(blocked / "Tolvanite");
    EXPECT_FALSE(LegacyDataMigrator::copyApplicationSupportIfNeeded(blocked.path()));
    EXPECT_TRUE(fs::is_regular_file(blocked / "Sorvin"));

    test::TemporaryFolder sourceIsFile;
    AtomicFile::write(sourceIsFile / "Tolvanite", "a file");
    EXPECT_FALSE(LegacyDataMigrator::copyApplicationSupportIfNeeded(sourceIsFile.path()));
    EXPECT_FALSE(fs::exists(sourceIsFile / "Sorvin"));

    test::TemporaryFolder empty;
    EXPECT_FALSE(LegacyDataMigrator::copyApplicationSupportIfNeeded(empty.path()));
    EXPECT_TRUE(fs::is_empty(empty.path()));
}

TEST(SupportFolderMigration, AFailedCopyLeavesNothingAndTheNextStartCopiesAgain) {
    test::TemporaryFolder base;
    fs::create_directories(base / "Tolvanite" / "sub");
    AtomicFile::write(base / "Tolvanite" / "a.json", "a");
    // A named pipe cannot be copied, so the copy fails part-way.
    ASSERT_EQ(::mkfifo((base / "Tolvanite" / "sub" / "pipe").c_str(), 0600), 0);

    EXPECT_THROW(LegacyDataMigrator::copyApplicationSupportIfNeeded(base.path()), fs::filesystem_error);
    EXPECT_FALSE(fs::exists(base / "Sorvin"));
    EXPECT_EQ(std::distance(fs::directory_iterator(base.path()), fs::directory_iterator()), 1);

    fs::remove(base / "Tolvanite" / "sub" / "pipe");
    // What a crash in the middle of a copy would leave, and the copy another instance starting
    // at the same moment is still making.
    const fs::path crashed = ".Sorvin.migrating-" + std::to_string(test::endedProcessId()) + "-a1B2c3";
    const fs::path running = ".Sorvin.migrating-" + std::to_string(::getppid()) + "-d4E5f6";
    fs::create_directories(base / crashed / "half");
    fs::create_directories(base / running / "half");
    EXPECT_TRUE(LegacyDataMigrator::copyApplicationSupportIfNeeded(base.path()));
    EXPECT_EQ(AtomicFile::read(base / "Sorvin" / "a.json"), "a");
    EXPECT_TRUE(fs::is_directory(base / "Sorvin" / "sub"));
    EXPECT_FALSE(fs::exists(base / crashed));
    EXPECT_TRUE(fs::is_directory(base / running / "half"));
    EXPECT_EQ(std::distance(fs::directory_iterator(base.path()), fs::directory_iterator()), 3);
}

TEST(PreferenceMigration, FillsOnlyMissingKeysFromThePredecessorsPrefixedKeys) {
    DefaultsStore legacy;
    legacy.setValues({{"tolvanite.sortKey", "name"},
                      {"tolvanite.exportLongEdgeValue", 3000},
                      {"tolvanite.rightPanelWidth", 300.0},
                      {"tolvanite.showGrid", false},
                      {"tolvanite.recentFolders", DefaultsValue::List{"/photos/a"}},
                      {"Tolvanite.capitalised", 1},
                      {"other.key", 1}});
    DefaultsStore current;
    current.set("sorvin.showGrid", true);

    LegacyDataMigrator::migrateUserDefaultsIfNeeded(current, &legacy);

    EXPECT_EQ(current.string("sorvin.sortKey"), "name");
    EXPECT_EQ(*current.object("sorvin.exportLongEdgeValue")->integer(), 3000);
    EXPECT_EQ(*current.object("sorvin.rightPanelWidth")->floating(), 300.0);
    EXPECT_EQ(*current.object("sorvin.recentFolders"), DefaultsValue(DefaultsValue::List{"/photos/a"}));
    EXPECT_TRUE(current.boolValue("sorvin.showGrid"));
    EXPECT_EQ(*current.object(LegacyDataMigrator::migratedFlagKey)->boolean(), true);
    EXPECT_EQ(current.dictionaryRepresentation().size(), 6u);
}

TEST(PreferenceMigration, RunsOnceAndAStoredFalseFlagCountsAsDone) {
    DefaultsStore legacy;
    legacy.set("tolvanite.sortKey", "name");

    DefaultsStore current;
    LegacyDataMigrator::migrateUserDefaultsIfNeeded(current, nullptr);
    EXPECT_TRUE(current.boolValue(LegacyDataMigrator::migratedFlagKey));
    LegacyDataMigrator::migrateUserDefaultsIfNeeded(current, &legacy);
    EXPECT_EQ(current.object("sorvin.sortKey"), std::nullopt);

    DefaultsStore flaggedFalse;
    flaggedFalse.set(LegacyDataMigrator::migratedFlagKey, false);
    LegacyDataMigrator::migrateUserDefaultsIfNeeded(flaggedFalse, &legacy);
    EXPECT_EQ(flaggedFalse.object("sorvin.sortKey"), std::nullopt);
    EXPECT_FALSE(flaggedFalse.boolValue(LegacyDataMigrator::migratedFlagKey));
}

TEST(PreferenceMigration, ThePredecessorsDomainIsReadFromItsOwnFolderAndNeverChanged) {
    test::TemporaryFolder config;
    test::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path());
    EXPECT_EQ(LegacyDataMigrator::openLegacyDefaults(), nullptr);

    fs::create_directories(config / "Tolvanite");
    AtomicFile::write(config / "Tolvanite" / "preferences.json", R"({"tolvanite.sortKey": "name"})");
    auto legacy = LegacyDataMigrator::openLegacyDefaults();
    ASSERT_NE(legacy, nullptr);
    DefaultsStore current(DefaultsStore::domainFile("Sorvin"));
    LegacyDataMigrator::migrateUserDefaultsIfNeeded(current, legacy.get());
    current.waitUntilWritten();

    EXPECT_EQ(DefaultsStore(config / "Sorvin" / "preferences.json").string("sorvin.sortKey"), "name");
    EXPECT_EQ(AtomicFile::read(config / "Tolvanite" / "preferences.json"),
              R"({"tolvanite.sortKey": "name"})");
}

} // namespace
} // namespace sorvin
