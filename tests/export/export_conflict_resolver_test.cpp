#include "export/export_conflict_resolver.hpp"
#include "export/export_manifest_store.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_path.hpp"
#include "support/test_support.hpp"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using Mode = ExportConflictMode;

class ExportConflictResolverTest : public ::testing::Test {
protected:
    void touch(const std::string& name) { std::ofstream(folder / name) << "x"; }
    std::optional<ExportWriteTarget>
    target(const std::string& name, Mode mode,
           const ExportConflictResolver::ProtectedPaths& protectedPaths = {}) {
        return ExportConflictResolver::target(name, folder.path(), mode, protectedPaths);
    }
    test::TemporaryFolder folder;
};

TEST_F(ExportConflictResolverTest, RenameModeTakesTheNameOrTheFirstFreeNumber) {
    EXPECT_EQ(target("IMG_0001.jpg", Mode::rename), (ExportWriteTarget{folder / "IMG_0001.jpg", false, false}));
    touch("IMG_0001.jpg");
    touch("IMG_0001-1.jpg");
    EXPECT_EQ(target("IMG_0001.jpg", Mode::rename), (ExportWriteTarget{folder / "IMG_0001-2.jpg", false, true}));
    for (int n = 2; n <= 999; ++n)
        touch("IMG_0001-" + std::to_string(n) + ".jpg");
    EXPECT_FALSE(target("IMG_0001.jpg", Mode::rename));
    EXPECT_FALSE(target("IMG_0001.jpg", Mode::overwrite,
                        ExportConflictResolver::protectedSourcePaths({}, {folder / "IMG_0001.jpg"})));
}

TEST_F(ExportConflictResolverTest, OverwriteModeReplacesAnExistingFileUnderItsName) {
    EXPECT_EQ(target("IMG_0001.jpg", Mode::overwrite), (ExportWriteTarget{folder / "IMG_0001.jpg", false, false}));
    touch("IMG_0001.jpg");
    EXPECT_EQ(target("IMG_0001.jpg", Mode::overwrite), (ExportWriteTarget{folder / "IMG_0001.jpg", true, false}));
}

TEST_F(ExportConflictResolverTest, TemporaryNamesAreHiddenAndCarryTheWriterAndAUuid) {
    const std::string name = ExportConflictResolver::temporaryName("IMG_0001.jpg");
    const std::string writer = AtomicFile::writerTag();
    ASSERT_EQ(writer.rfind(std::to_string(::getpid()) + "@", 0), 0u) << writer;
    const std::string prefix = ".IMG_0001.jpg.sorvin-tmp-" + writer + "-";
    ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
    const std::string uuid = name.substr(prefix.size());
    ASSERT_EQ(uuid.size(), 36u) << name;
    for (std::size_t i = 0; i < uuid.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            EXPECT_EQ(uuid[i], '-') << name;
        else
            EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(uuid[i])) ||
                        (uuid[i] >= 'A' && uuid[i] <= 'F'))
                << name;
    }
    EXPECT_EQ(uuid[14], '4'); // a random UUID
    EXPECT_NE(ExportConflictResolver::temporaryName("IMG_0001.jpg"), name);
}

// A killed export leaves its hidden temporary files behind; they are removed, whatever file they
// were for, but never one that a running export (or this one) is writing, nor anything else. A
// temporary of another computer (a network folder written by two) cannot be told from here to be
// abandoned: it goes only when a day old. Names without a machine are this machine's.
TEST_F(ExportConflictResolverTest, OnlyTheTemporariesOfEndedExportsAreRemoved) {
    const std::string ended = std::to_string(test::endedProcessId());
    const std::string running = std::to_string(::getppid());
    const std::string here = AtomicFile::writerTag().substr(AtomicFile::writerTag().find('@'));
    const std::string elsewhere = "@0123456789ab";
    const std::vector<std::string> stale = {".IMG_0001.jpg.sorvin-tmp-" + ended + "-A1",
                                            ".IMG_0001.jpg.sorvin-tmp-" + ended + here + "-A2",
                                            ".x.sorvin-tmp-.heic.sorvin-tmp-" + ended + "-C3",
                                            ".day-old.jpg.sorvin-tmp-" + running + elsewhere + "-F1"};
    const std::vector<std::string> kept = {".IMG_0001.jpg.sorvin-tmp-" + running + "-B2",
                                           ".IMG_0001.jpg.sorvin-tmp-" + running + here + "-B3",
                                           ".IMG_0001.jpg.sorvin-tmp-" + ended + elsewhere + "-B4",
                                           ".hours-old.jpg.sorvin-tmp-" + ended + elsewhere + "-B5",
                                           ExportConflictResolver::temporaryName("IMG_0001.jpg"),
                                           "IMG_0001.jpg.sorvin-tmp-" + ended + "-D4",
                                           ".IMG_0001.jpg.sorvin-tmp-notes",
                                           ".IMG_0001.jpg.sorvin-tmp-" + ended + "@-D5",
                                           ".sorvin-tmp-" + ended,
                                           "IMG_0001.jpg"};
    for (const auto& name : stale)
        touch(name);
    for (const auto& name : kept)
        touch(name);
    const auto age = [&](const std::string& name, std::chrono::hours hours) {
        fs::last_write_time(folder / name, fs::last_write_time(folder / name) - hours);
    };
    age(stale[3], AtomicFile::kForeignTemporaryLifetime + std::chrono::hours(1));
    age(kept[3], AtomicFile::kForeignTemporaryLifetime - std::chrono::hours(1));
    fs::create_directory(folder / (".folder.sorvin-tmp-" + ended + "-E5"));
    ExportConflictResolver::removeAbandonedOutputTemporaries(folder.path());
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder.path()))
        left.insert(entry.path().filename().string());
    std::set<std::string> expected(kept.begin(), kept.end());
    expected.insert(".folder.sorvin-tmp-" + ended + "-E5");
    EXPECT_EQ(left, expected);
}

// Every name a disk takes (255 bytes) has a temporary the disk takes too: a long name is cut short
// in it, at a character's start, and the leftover of a killed export of that name is still found.
TEST_F(ExportConflictResolverTest, TheTemporaryOfTheLongestNameFitsTheDiskAndIsFoundWhenLeft) {
    const std::string kanji = "\xE5\x86\x99"; // 写
    std::string kanjiName;
    for (int i = 0; i < 83; ++i)
        kanjiName += kanji;
    kanjiName += ".jpg"; // 253 bytes
    for (const std::string& name : {std::string(200, 'a') + ".jpg", std::string(251, 'b') + ".jpg", kanjiName,
                                    std::string("IMG_0001.jpg")}) {
        const std::string temporary = ExportConflictResolver::temporaryName(name);
        EXPECT_LE(temporary.size(), 255u) << name;
        std::ofstream(folder / name) << "x";
        ASSERT_TRUE(std::ofstream(folder / temporary) << "x") << name; // the disk takes it
        EXPECT_TRUE(fs::exists(folder / temporary));
        // Cut at a character's start: the temporary's name is well-formed text.
        const std::string part = temporary.substr(1, temporary.find(".sorvin-tmp-") - 1);
        EXPECT_EQ(name.rfind(part, 0), 0u);
        if (name == kanjiName) {
            EXPECT_EQ(part.size() % kanji.size(), 0u);
        }
        if (name == "IMG_0001.jpg") {
            EXPECT_EQ(part, name);
        }

        // A leftover of an ended process, of this name, is removed by either cleanup.
        const std::string writer = AtomicFile::writerTag();
        std::string left = temporary;
        left.replace(left.find(writer), writer.size(), std::to_string(test::endedProcessId()));
        std::ofstream(folder / left) << "x";
        ExportConflictResolver::removeAbandonedTemporariesOf(folder.path(), name);
        EXPECT_FALSE(fs::exists(folder / left)) << name;
        std::ofstream(folder / left) << "x";
        ExportConflictResolver::removeAbandonedOutputTemporaries(folder.path());
        EXPECT_FALSE(fs::exists(folder / left)) << name;
        EXPECT_TRUE(fs::exists(folder / temporary)); // this process's own stays
    }
}

// A name this export gave a file is taken in both modes, compared as the folder's disk compares
// names: on a disk that ignores case, A.jpg meets a.jpg, and the numbered names do too.
TEST_F(ExportConflictResolverTest, ANameThisExportGaveIsNeverReplacedNorReusedInAnyCase) {
    for (const bool ignoresCase : {false, true}) {
        ExportWrittenNames::setCaseProbeForTesting([&](const fs::path&) { return ignoresCase; });
        ExportConflictResolver::ProtectedPaths written;
        for (const std::string name : {"a.jpg", "a-1.jpg"}) {
            touch(name);
            written.written.add(folder / name);
        }
        ExportWrittenNames::setCaseProbeForTesting({});
        for (const auto mode : {Mode::rename, Mode::overwrite}) {
            EXPECT_EQ(target("a.jpg", mode, written), (ExportWriteTarget{folder / "a-2.jpg", false, true}));
            EXPECT_EQ(target("A.jpg", mode, written)->finalURL, folder / (ignoresCase ? "A-2.jpg" : "A.jpg"));
        }
        EXPECT_TRUE(written.contains(folder / "a.jpg"));
        EXPECT_EQ(written.contains(folder / "A-1.jpg"), ignoresCase);
        EXPECT_FALSE(written.contains(folder / "sub" / "a.jpg"));
        fs::remove(folder / "a.jpg");
        fs::remove(folder / "a-1.jpg");
    }
}

// A name an earlier export gave another photo is that photo's while its file is there; overwrite
// mode writes over the asking photo's own earlier file only when that is one of the name's numbered
// names.
TEST_F(ExportConflictResolverTest, ANameOfAnotherPhotosFileIsTakenWhileItIsThere) {
    touch("a.jpg");
    touch("b.jpg");
    ExportManifest manifest;
    manifest.entries["/day1/a.jpg"].outputs["jpeg"] = {"a.jpg", 1, 0};
    ExportConflictResolver::ProtectedPaths names;
    names.written.addRecorded(manifest, folder.path());
    const auto targetFor = [&](Mode mode, std::optional<std::string> earlier = std::nullopt) {
        return ExportConflictResolver::target("a.jpg", folder.path(), mode, names, {"/day2/a.jpg", earlier});
    };
    EXPECT_EQ(targetFor(Mode::overwrite), (ExportWriteTarget{folder / "a-1.jpg", false, true}));
    EXPECT_EQ(targetFor(Mode::overwrite, "b.jpg"), (ExportWriteTarget{folder / "a-1.jpg", false, true}));
    fs::remove(folder / "a.jpg");
    for (const auto mode : {Mode::rename, Mode::overwrite})
        EXPECT_EQ(targetFor(mode), (ExportWriteTarget{folder / "a.jpg", false, false}));
}

// The case rule is the disk's own: a file made under a lower-case name is looked for in upper case.
TEST_F(ExportConflictResolverTest, AFolderOfThisDiskTellsNamesOfAnotherCaseApartAndLeavesNoProbe) {
    EXPECT_FALSE(ExportWrittenNames::ignoresCase(folder.path()));
    EXPECT_TRUE(fs::is_empty(folder.path()));
    EXPECT_TRUE(ExportWrittenNames::ignoresCase(folder / "missing")); // cannot be asked: the careful answer
}

// A protected file is recognised by any path that reaches it: a symbolic link, a hard link.
TEST_F(ExportConflictResolverTest, OverwriteModeNumbersProtectedFilesLinksToThemAndFolders) {
    touch("IMG_0001.jpg");
    const auto protectedPaths = ExportConflictResolver::protectedSourcePaths({}, {folder / "IMG_0001.jpg"});
    EXPECT_EQ(target("IMG_0001.jpg", Mode::overwrite, protectedPaths)->finalURL, folder / "IMG_0001-1.jpg");

    for (const bool hard : {false, true}) {
        const fs::path elsewhere = folder / (hard ? "hard" : "soft");
        fs::create_directories(elsewhere);
        if (hard)
            fs::create_hard_link(folder / "IMG_0001.jpg", elsewhere / "IMG_0001.jpg");
        else
            fs::create_symlink(folder / "IMG_0001.jpg", elsewhere / "IMG_0001.jpg");
        const auto linked =
            ExportConflictResolver::target("IMG_0001.jpg", elsewhere, Mode::overwrite, protectedPaths);
        EXPECT_EQ(linked->finalURL, elsewhere / "IMG_0001-1.jpg") << hard;
        EXPECT_TRUE(linked->isRenamed);
    }

    fs::create_directories(folder / "IMG_0002.jpg");
    EXPECT_EQ(target("IMG_0002.jpg", Mode::overwrite)->finalURL, folder / "IMG_0002-1.jpg");
}

// Every file of every photo is protected by whatever path it is reached (a symbolic or a hard
// link), each named once, and looked at only when a file is asked about; a file the photo's path
// leads to only later is protected by that path.
TEST_F(ExportConflictResolverTest, ProtectedPathsHoldEveryFileOfEveryPhotoByAnyPath) {
    touch("A.JPG");
    touch("A.CR3");
    touch("other.jpg");
    fs::create_symlink(folder / "A.JPG", folder / "link.jpg");
    fs::create_hard_link(folder / "A.CR3", folder / "hard.CR3");
    Photo photo;
    photo.url = folder / "." / "link.jpg";
    photo.rawCompanionURL = folder / "A.CR3";
    const auto paths = ExportConflictResolver::protectedSourcePaths(
        {photo}, {folder / "sub" / ".." / "extra.jpg", folder / "A.CR3"});
    EXPECT_EQ(paths.files, (std::vector<fs::path>{photo.url, folder / "A.CR3", folder / "sub" / ".." / "extra.jpg"}));
    for (const fs::path file : {"A.JPG", "link.jpg", "A.CR3", "hard.CR3"})
        EXPECT_TRUE(paths.contains(folder / file)) << file;
    EXPECT_FALSE(paths.contains(folder / "other.jpg"));
    EXPECT_FALSE(paths.contains(folder / "missing.jpg"));
    fs::create_symlink(folder / "extra.jpg", folder / "to-extra.jpg");
    touch("extra.jpg");
    EXPECT_TRUE(paths.contains(folder / "to-extra.jpg"));
}

} // namespace
} // namespace sorvin
