#include "export/export_error.hpp"
#include "export/export_manifest_store.hpp"
#include "export/export_runner.hpp"
#include "export/export_sheet_model.hpp"
#include "export/export_written_names.hpp"
#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "exporter_fixture.hpp"
#include "platform/atomic_file.hpp"
#include "platform/file_node.hpp"
#include "platform/file_path.hpp"
#include "platform/output_file.hpp"
#include "support/bind_mount.hpp"
#include "support/breakable_fuse_mount.hpp"
#include "support/failing_writes.hpp"
#include "support/folder_mount.hpp"
#include "support/fuse_mount.hpp"
#include "support/held_mount_questions.hpp"
#include "support/hostile_files.hpp"
#include "support/manual_main_queue.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <array>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using test::bytesOf;
using test::ExporterTest;
using test::FailingWrites;
using test::setModificationTime;
using test::TemporaryFolder;

// Another program saving into the destination at the very moment the export writes: just before
// the export gives a file one of the names, "their" file appears there (once per path).
class NamesTakenAtTheLastMoment {
public:
    explicit NamesTakenAtTheLastMoment(std::set<std::string> names) {
        OutputFile::setBeforePublishHookForTesting([this, names](const fs::path& file) {
            if (names.contains(file.filename().string()) && taken.insert(file).second)
                std::ofstream(file) << "theirs";
        });
    }
    ~NamesTakenAtTheLastMoment() { OutputFile::setBeforePublishHookForTesting({}); }
    NamesTakenAtTheLastMoment(const NamesTakenAtTheLastMoment&) = delete;
    NamesTakenAtTheLastMoment& operator=(const NamesTakenAtTheLastMoment&) = delete;

    std::set<fs::path> taken;
};

bool isJpeg(const std::string& bytes) { return bytes.size() > 1000 && bytes.starts_with("\xFF\xD8"); }

TEST_F(ExporterTest, UneditedJpegIsCopiedByteForByteAndSkippedWhenExportedAgain) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    const ExportResult first = run();
    EXPECT_EQ(first.copiedCount, 1);
    EXPECT_EQ(first.outputFileCount, 1);
    EXPECT_TRUE(first.failures.empty());
    EXPECT_EQ(bytesOf(destination() / "IMG_0001.jpg"), bytesOf(photo.url));
    EXPECT_EQ(renders, 0);
    const auto entry = manifest().entries.at(FilePath::standardized(photo.url).string());
    EXPECT_EQ(entry.outputs.at("jpeg").file, "IMG_0001.jpg");

    const ExportResult second = run();
    EXPECT_EQ(second.copiedCount, 0);
    EXPECT_EQ(second.skippedCount, 1);
    EXPECT_EQ(second.outputFileCount, 0);
    EXPECT_FALSE(fs::exists(destination() / "IMG_0001-1.jpg"));
}

TEST_F(ExporterTest, TouchedOutputIsWrittenAgainUnderAFreeName) {
    addJpeg("IMG_0001.jpg");
    run();
    setModificationTime(destination() / "IMG_0001.jpg", 1'000'000'000);
    const ExportResult again = run();
    EXPECT_EQ(again.copiedCount, 1);
    EXPECT_EQ(again.skippedCount, 0);
    EXPECT_EQ(again.renamedCount, 1);
    EXPECT_EQ(again.firstRenamedFileName, "IMG_0001-1.jpg");
    EXPECT_EQ(manifest().entries.begin()->second.outputs.at("jpeg").file, "IMG_0001-1.jpg");
}

TEST_F(ExporterTest, ChangedParametersAreRenderedAgainAndRecordedUnderTheNewFingerprint) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    run();
    const std::string before = manifest().entries.begin()->second.params;
    PhotoParameters edited;
    edited.setValue(30, PhotoParameter::exposure);
    request.params[photo.relativePath] = edited;
    const ExportResult result = run();
    EXPECT_EQ(renders, 1);
    EXPECT_EQ(result.copiedCount, 1);
    EXPECT_EQ(result.firstRenamedFileName, "IMG_0001-1.jpg");
    EXPECT_NE(manifest().entries.begin()->second.params, before);
    // The rendered output is a real JPEG of the rendered size.
    const std::string bytes = bytesOf(destination() / "IMG_0001-1.jpg");
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xD8);
}

TEST_F(ExporterTest, OverwriteModeReplacesAnOldOutputThroughAHiddenTemporaryFile) {
    addJpeg("IMG_0001.jpg");
    std::ofstream(destination() / "IMG_0001.jpg") << "old";
    request.conflictMode = ExportConflictMode::overwrite;
    const ExportResult result = run();
    EXPECT_EQ(result.overwrittenCount, 1);
    EXPECT_EQ(result.renamedCount, 0);
    EXPECT_NE(bytesOf(destination() / "IMG_0001.jpg"), "old");
    for (const auto& entry : fs::directory_iterator(destination()))
        EXPECT_EQ(entry.path().filename(), "IMG_0001.jpg"); // no temporary file left
}

TEST_F(ExporterTest, OverwriteModeNeverReplacesAPhotoOfTheExport) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    request.destination = source();
    request.conflictMode = ExportConflictMode::overwrite;
    const std::string original = bytesOf(photo.url);
    const ExportResult result = run();
    EXPECT_EQ(result.renamedCount, 1);
    EXPECT_EQ(result.overwrittenCount, 0);
    EXPECT_TRUE(fs::exists(source() / "IMG_0001-1.jpg"));
    EXPECT_EQ(bytesOf(photo.url), original);
}

TEST_F(ExporterTest, CopyBIsAnItemOfItsOwnAndTheOriginalsAreCopiedOnce) {
    const Photo photo = addPair("IMG_0001");
    addCopyB(photo, 90);
    request.saveOriginals = true;
    const ExportResult result = run();
    EXPECT_EQ(result.copiedCount, 2);
    EXPECT_EQ(result.originalCopiedCount, 1);
    EXPECT_TRUE(fs::exists(destination() / "IMG_0001.jpg"));
    EXPECT_TRUE(fs::exists(destination() / "IMG_0001-B.jpg"));
    EXPECT_EQ(bytesOf(destination() / "originals" / "IMG_0001.DNG"), bytesOf(*photo.rawCompanionURL));
    const auto entries = manifest().entries;
    const std::string key = FilePath::standardized(photo.url).string();
    ASSERT_TRUE(entries.contains(key));
    ASSERT_TRUE(entries.contains(key + "#B"));
    EXPECT_EQ(entries.at(key).original->file, "originals/IMG_0001.JPG");
}

TEST_F(ExporterTest, NumberedOriginalsOfAPairAreRecognisedByTheNextExport) {
    const Photo photo = addPair("IMG_0001");
    request.saveOriginals = true;
    fs::create_directories(destination() / "originals");
    std::ofstream(destination() / "originals" / "IMG_0001.JPG") << "someone else's";
    std::ofstream(destination() / "originals" / "IMG_0001.DNG") << "someone else's";
    const ExportResult first = run();
    EXPECT_EQ(first.originalCopiedCount, 1);
    EXPECT_TRUE(fs::exists(destination() / "originals" / "IMG_0001-1.JPG"));
    EXPECT_TRUE(fs::exists(destination() / "originals" / "IMG_0001-1.DNG"));

    const ExportResult second = run();
    EXPECT_EQ(second.skippedCount, 1);
    EXPECT_EQ(second.originalCopiedCount, 0);
    EXPECT_EQ(second.originalFailureCount, 0);
    EXPECT_FALSE(fs::exists(destination() / "originals" / "IMG_0001-2.JPG"));
    EXPECT_FALSE(fs::exists(destination() / "originals" / "IMG_0001-2.DNG"));
}

TEST_F(ExporterTest, NoTickedFormatFailsEveryPhotoAndWritesNothing) {
    addJpeg("IMG_0001.jpg");
    addJpeg("IMG_0002.jpg");
    request.formatOptions = ExportFormatOptions{ExportFormatMode::specify, false, false, true};
    request.saveOriginals = true;
    const ExportResult result = run();
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[0], (ExportFailure{"IMG_0001.jpg", "出力形式を1つ以上選んでください"}));
    EXPECT_EQ(result.outputFileCount, 0);
    EXPECT_EQ(result.originalCopiedCount, 0);
    EXPECT_TRUE(fs::is_empty(destination() / "originals"));
}

TEST_F(ExporterTest, SplitFoldersPutEachFormatInItsOwnFolder) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    request.formatOptions = ExportFormatOptions{ExportFormatMode::specify, true,
                                                Exporter::supportsOutput(ExportImageFormat::heif), true};
    const ExportResult result = run();
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(bytesOf(destination() / "JPEG" / "IMG_0001.jpg"), bytesOf(photo.url));
    if (request.formatOptions.heif) {
        EXPECT_TRUE(fs::exists(destination() / "HEIF" / "IMG_0001.heic"));
        EXPECT_EQ(result.outputFileCount, 2);
        EXPECT_EQ(manifest().entries.begin()->second.outputs.at("heic").file, "HEIF/IMG_0001.heic");
    }
}

TEST_F(ExporterTest, AFolderNameTakenByAFileRefusesTheWholeExport) {
    addJpeg("IMG_0001.jpg");
    request.saveOriginals = true;
    std::ofstream(destination() / "originals") << "x";
    bool progressed = false;
    request.progress = [&](int, int) { progressed = true; };
    const ExportResult result = run();
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].fileName, "");
    EXPECT_EQ(result.copiedCount, 0);
    EXPECT_FALSE(progressed);
    EXPECT_FALSE(fs::exists(ExportManifestStore::manifestURL(destination(), request.applicationSupportRoot)));
}

// The photo folder reached through a FUSE mount has a device and inodes of its own, so only a file
// made on one side and seen on the other tells it: the export is refused before it writes
// anything, and a mount that appears while it runs stops it before a photo is replaced.
TEST_F(ExporterTest, ThePhotoFolderBehindAMountOfItsOwnIsRefusedAndItsPhotosStayAsTheyWere) {
    for (const std::string name : {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"})
        request.rotations[addJpeg(name).relativePath] = 90; // each one re-encoded
    request.sourceFolder = source();
    request.conflictMode = ExportConflictMode::overwrite;
    request.saveOriginals = true;
    std::map<fs::path, std::string> photos;
    for (const auto& photo : request.photos)
        photos[photo.url] = bytesOf(photo.url);
    const auto photosAreIntact = [&] {
        for (const auto& [file, bytes] : photos)
            EXPECT_EQ(bytesOf(file), bytes) << file;
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(source()))
            names.insert(entry.path().filename().string());
        EXPECT_EQ(names, (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"}));
    };
    const std::vector<ExportFailure> refused{{"", "書き出し先に元のフォルダは指定できません"}};
    const std::vector<ExportFailure> refusedInside{{"", "書き出し先に元のフォルダの中は指定できません"}};

    {
        fs::create_directories(source() / "sub");
        fs::create_directories(source() / "sub2" / "deeper");
        test::FuseMirror mirror(source(), root / "mirror");
        if (!mirror.skipReason().empty()) GTEST_SKIP() << mirror.skipReason();
        EXPECT_EQ(Exporter::refusalAsSource(mirror.path(), source()), std::nullopt)
            << "its nodes tell nothing";
        for (const auto& [folder, refusal] : {std::pair{mirror.path(), refused},
                                              {mirror.path() / "sub", refusedInside},
                                              {mirror.path() / "sub2" / "deeper", refusedInside}}) {
            EXPECT_EQ(Exporter::validate(folder, source())->errorDescription(),
                      refusal[0].reason);
            request.destination = folder;
            const ExportResult result = run();
            EXPECT_EQ(result.failures, refusal) << folder;
            EXPECT_EQ(result.overwrittenCount, 0);
            EXPECT_TRUE(fs::is_empty(source() / "sub") && fs::is_empty(source() / "sub2" / "deeper"));
        }
        fs::remove_all(source() / "sub");
        fs::remove_all(source() / "sub2");
        photosAreIntact();
    }

    // The destination becomes the photo folder after the first photo.
    request.destination = destination();
    std::optional<test::FuseMirror> mountedLater;
    onRender = [&] {
        if (!mountedLater) mountedLater.emplace(source(), destination());
    };
    const ExportResult result = run();
    ASSERT_TRUE(mountedLater && mountedLater->skipReason().empty());
    mountedLater.reset();
    // The photos after it are listed as not exported.
    const std::string notExported = "書き出し先が元のフォルダになったため、書き出していません";
    EXPECT_EQ(result.failures, (std::vector<ExportFailure>{{"IMG_0001.jpg", refused[0].reason},
                                                           {"IMG_0002.jpg", notExported},
                                                           {"IMG_0003.jpg", notExported}}));
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.overwrittenCount, 0);
    photosAreIntact();
}

// A mount of the photo folder that appears over the destination while the export runs, a bind
// mount or a FUSE one, is caught before the next file gets its name, in both conflict modes: the
// photo folder receives nothing.
TEST_F(ExporterTest, APhotoFolderMountedOverTheDestinationMidwayReceivesNothing) {
    for (const std::string name : {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"})
        request.rotations[addJpeg(name).relativePath] = 90;
    request.sourceFolder = source();
    request.saveOriginals = true;
    const std::set<std::string> photos{"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"};
    const std::string refused = "書き出し先に元のフォルダは指定できません";
    const std::string notExported = "書き出し先が元のフォルダになったため、書き出していません";
    int ran = 0;
    for (const bool fuse : {false, true})
        for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite}) {
            SCOPED_TRACE(std::string(fuse ? "FUSE " : "bind ") +
                         (mode == ExportConflictMode::rename ? "rename" : "overwrite"));
            request.conflictMode = mode;
            std::optional<test::FuseMirror> mirror;
            std::optional<test::BindMount> bound;
            bool mounted = false;
            onRender = [&] {
                if (mounted) return;
                mounted = true;
                if (fuse)
                    mounted = mirror.emplace(source(), destination()).skipReason().empty();
                else
                    mounted = bound.emplace(source(), destination()).mounted();
            };
            const ExportResult result = run();
            if (!mounted) continue; // no FUSE, or no root for a bind mount
            ++ran;
            mirror.reset();
            bound.reset();
            EXPECT_EQ(result.failures, (std::vector<ExportFailure>{{"IMG_0001.jpg", refused},
                                                                   {"IMG_0002.jpg", notExported},
                                                                   {"IMG_0003.jpg", notExported}}));
            std::set<std::string> names;
            for (const auto& entry : fs::recursive_directory_iterator(source()))
                names.insert(entry.path().lexically_relative(source()).string());
            EXPECT_EQ(names, photos);
            fs::remove_all(destination());
            fs::create_directories(destination());
        }
    if (ran == 0) GTEST_SKIP() << "neither FUSE nor a bind mount can be made here";
}

// When the photo folder's own mount dies midway, the photos after it are not damaged: the
// connection is lost, also where the file's status still comes from the mount's cache.
TEST_F(ExporterTest, APhotoFolderWhoseMountDiesMidwayFailsAsALostConnection) {
    for (const std::string name : {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"})
        addJpeg(name);
    test::BreakableFuseMount mount(source(), root / "card");
    if (!mount.skipReason().empty()) GTEST_SKIP() << mount.skipReason();
    for (auto& photo : request.photos) {
        photo.url = mount.path() / photo.relativePath;
        request.rotations[photo.relativePath] = 90; // developed from the file
    }
    request.sourceFolder = mount.path();
    request.render = {};
    request.progress = [&](int done, int) {
        if (done == 1) mount.breakConnection();
    };
    const ExportResult result = run();
    EXPECT_EQ(result.copiedCount, 1);
    const std::string lost = "フォルダとの接続が切れました";
    EXPECT_EQ(result.failures, (std::vector<ExportFailure>{{"IMG_0002.jpg", lost}, {"IMG_0003.jpg", lost}}));
}

// Photos copied byte for byte from a folder whose mount died say so too, as the developed ones do.
TEST_F(ExporterTest, PhotosCopiedFromAFolderWhoseMountDiedFailAsALostConnection) {
    for (const std::string name : {"IMG_0001.jpg", "IMG_0002.jpg"})
        addJpeg(name);
    test::BreakableFuseMount mount(source(), root / "card");
    if (!mount.skipReason().empty()) GTEST_SKIP() << mount.skipReason();
    for (auto& photo : request.photos) {
        photo.url = mount.path() / photo.relativePath;
        EXPECT_TRUE(fs::exists(photo.url)); // the mount's cache knows the file
    }
    request.sourceFolder = mount.path();
    request.progress = [&](int done, int) {
        if (done == 1) mount.breakConnection();
    };
    const ExportResult result = run();
    EXPECT_EQ(result.copiedCount, 1);
    EXPECT_EQ(result.failures, (std::vector<ExportFailure>{{"IMG_0002.jpg", "フォルダとの接続が切れました"}}));
}

// A photo beyond the decoder's file limit (a 16384-pixel JPEG of 1.1 GB) is too large for the
// program, not damaged; the photos after it are exported.
TEST_F(ExporterTest, APhotoBeyondTheDecodersLimitIsTooLargeNotDamaged) {
    const Photo huge = addJpeg("HUGE.jpg");
    const std::string bytes = bytesOf(huge.url);
    test::hostile::writeSparse(huge.url, bytes, std::uintmax_t{1100} << 20);
    request.rotations[huge.relativePath] = 90;
    addJpeg("IMG_0002.jpg");
    request.render = {};
    const ExportResult result = run();
    EXPECT_EQ(result.failures,
              (std::vector<ExportFailure>{
                  {"HUGE.jpg", "ファイルが大きすぎるため、このプログラムでは読み込めません"}}));
    EXPECT_EQ(result.copiedCount, 1);
}

// A manifest that cannot be written at the end leaves the journal, which tells the next export
// every file: it skips them all, and nothing is said of unnoted files.
TEST_F(ExporterTest, TheJournalIsKeptWhenTheManifestCannotBeWritten) {
    addJpeg("IMG_0001.jpg");
    addJpeg("IMG_0002.jpg");
    request.saveOriginals = true;
    const fs::path manifestFile =
        ExportManifestStore::manifestURL(destination(), request.applicationSupportRoot);
    fs::create_directories(manifestFile / "taken"); // a folder stands where the manifest goes
    const ExportResult first = run();
    EXPECT_EQ(first.copiedCount, 2);
    EXPECT_FALSE(first.recordFailure);
    EXPECT_TRUE(fs::exists(ExportManifestStore::journalURL(destination(), request.applicationSupportRoot)));
    EXPECT_EQ(manifest().entries.size(), 2u);

    fs::remove_all(manifestFile);
    const ExportResult second = run();
    EXPECT_EQ(second.skippedCount, 2);
    EXPECT_EQ(second.originalCopiedCount, 0);
    EXPECT_EQ(second.renamedCount, 0);
    EXPECT_FALSE(fs::exists(ExportManifestStore::journalURL(destination(), request.applicationSupportRoot)));
}

// On a full disk neither the journal nor the manifest takes the files: the result says that they
// could not be noted, so that the next export writing them once more is no surprise.
TEST_F(ExporterTest, AnExportWhoseFilesCannotBeNotedSaysSo) {
    const fs::path support = request.applicationSupportRoot;
    fs::create_directories(support);
    if (::geteuid() != 0 || ::mount("tmpfs", support.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small disk of its own needs root";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{support};
    {
        std::ofstream filler(support / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()))
            ;
    }
    addJpeg("IMG_0001.jpg");
    request.saveOriginals = true;
    const ExportResult result = run();
    EXPECT_EQ(result.copiedCount, 1);
    EXPECT_EQ(result.originalCopiedCount, 1);
    EXPECT_EQ(result.recordFailure, "空き容量が足りません");
    const auto lines = ExportResultSummary::lines(result);
    EXPECT_TRUE(std::ranges::any_of(lines, [](const ExportResultLine& line) {
        return line.style == ExportResultLine::Style::warning &&
               line.text.starts_with("書き出したファイルを記録できませんでした（空き容量が足りません）");
    }));
}

// A folder that merely holds copies of the photos is another folder.
TEST_F(ExporterTest, AFolderOfCopiesOfThePhotosIsNoPhotoFolder) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    request.rotations[photo.relativePath] = 90;
    request.sourceFolder = source();
    request.conflictMode = ExportConflictMode::overwrite;
    fs::copy_file(photo.url, destination() / "IMG_0001.jpg");
    const ExportResult result = run();
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(result.overwrittenCount, 1);
    EXPECT_NE(bytesOf(destination() / "IMG_0001.jpg"), bytesOf(photo.url));
}

// Every folder that received a file is flushed once the export ends, so that no name it reported
// is lost to a power failure; a folder that received nothing is not.
TEST_F(ExporterTest, EveryFolderThatReceivedAFileIsFlushedOnceAtTheEnd) {
    addJpeg("IMG_0001.jpg");
    request.saveOriginals = true;
    fs::create_directories(destination() / "empty");
    std::map<fs::path, int> flushed;
    AtomicFile::setFolderFlushHookForTesting([&](const fs::path& folder) { ++flushed[folder]; });
    const ExportResult result = run();
    AtomicFile::setFolderFlushHookForTesting({});
    EXPECT_EQ(result.outputFileCount, 1);
    EXPECT_EQ(flushed[destination()], 1);
    EXPECT_EQ(flushed[destination() / "originals"], 1);
    EXPECT_FALSE(flushed.contains(destination() / "empty"));
}

// Photos deleted while the export runs are missing, not damaged, whether copied or developed;
// they get no manifest entry.
TEST_F(ExporterTest, APhotoDeletedMidwayIsMissingAndGetsNoManifestEntry) {
    addJpeg("IMG_0001.jpg");
    const Photo developed = addJpeg("IMG_0002.jpg");
    const Photo copied = addJpeg("IMG_0003.jpg");
    request.rotations[developed.relativePath] = 90;
    request.render = {}; // the photo's own file is decoded
    request.progress = [&](int done, int) {
        if (done == 1) fs::remove(developed.url), fs::remove(copied.url);
    };
    const ExportResult result = run();
    EXPECT_EQ(result.failures, (std::vector<ExportFailure>{{"IMG_0002.jpg", "IMG_0002.jpg が見つかりません"},
                                                           {"IMG_0003.jpg", "IMG_0003.jpg が見つかりません"}}));
    EXPECT_EQ(result.copiedCount, 1);
    EXPECT_EQ(manifest().entries.size(), 1u);
    EXPECT_FALSE(fs::exists(destination() / "IMG_0002.jpg"));
    EXPECT_FALSE(fs::exists(destination() / "IMG_0003.jpg"));
}

// A destination whose mount dies midway: every later photo fails as a lost connection, none as a
// name already taken; and the export ends.
TEST_F(ExporterTest, ADestinationWhoseMountDiesMidwayFailsAsALostConnection) {
    for (const std::string name : {"IMG_0001.jpg", "IMG_0002.jpg", "IMG_0003.jpg"})
        request.rotations[addJpeg(name).relativePath] = 90;
    addJpeg("IMG_0004.jpg"); // copied
    test::BreakableFuseMount mount(destination(), root / "mounted");
    if (!mount.skipReason().empty()) GTEST_SKIP() << mount.skipReason();
    request.destination = mount.path();
    request.saveOriginals = true;
    request.progress = [&](int done, int) {
        if (done == 1) mount.breakConnection();
    };
    const ExportResult result = run();
    EXPECT_EQ(result.copiedCount, 1);
    const std::string lost = "フォルダとの接続が切れました";
    EXPECT_EQ(result.failures, (std::vector<ExportFailure>{
                                   {"IMG_0002.jpg", lost}, {"IMG_0003.jpg", lost}, {"IMG_0004.jpg", lost}}));
}

// A stick mounted on a folder and chosen itself as the destination, pulled (unmounted) after two
// of five photos: its path now leads to the empty mount point on the internal disk, which
// receives nothing; the three left fail as a missing destination and are not counted as exported
// nor noted in the manifest, so the export onto the stick put back writes them and only them.
TEST_F(ExporterTest, AStickUnmountedMidwayTakesNothingMoreAndTheNextExportFinishesIt) {
    for (int i = 1; i <= 5; ++i)
        addJpeg("IMG_000" + std::to_string(i) + ".jpg");
    const std::string missing = "書き出し先のフォルダが見つかりません";
    const auto filesIn = [](const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    };
    int ran = 0;
    for (const auto kind : {test::FolderMount::Kind::bind, test::FolderMount::Kind::fuse}) {
        const std::string name = test::FolderMount::nameOf(kind);
        SCOPED_TRACE(name);
        const fs::path stick = root / ("stick " + name);
        const fs::path mountPoint = root / "mnt" / name;
        fs::create_directories(stick);
        std::optional<test::FolderMount> mount;
        if (!mount.emplace(kind, stick, mountPoint).skipReason().empty()) continue;
        ++ran;
        request.destination = mountPoint;
        request.applicationSupportRoot = root / ("support " + name);
        request.progress = [&](int done, int) {
            if (done == 2) mount.reset();
        };
        const ExportResult pulled = run();
        EXPECT_EQ(pulled.copiedCount, 2);
        EXPECT_EQ(pulled.outputFileCount, 2);
        EXPECT_EQ(pulled.failures, (std::vector<ExportFailure>{
                                       {"IMG_0003.jpg", missing}, {"IMG_0004.jpg", missing}, {"IMG_0005.jpg", missing}}));
        const auto lines = ExportResultSummary::lines(pulled);
        EXPECT_NE(std::find(lines.begin(), lines.end(), ExportResultLine{"書き出し   2枚"}), lines.end());
        EXPECT_NE(std::find(lines.begin(), lines.end(), ExportResultLine{"失敗     3枚"}), lines.end());
        ASSERT_FALSE(mount);
        EXPECT_EQ(filesIn(mountPoint), std::set<std::string>{}) << "written onto the internal disk";
        EXPECT_EQ(filesIn(stick), (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.jpg"}));
        std::set<std::string> recorded;
        for (const auto& [key, entry] : ExportManifestStore::load(mountPoint, request.applicationSupportRoot).entries)
            for (const auto& [format, output] : entry.outputs)
                recorded.insert(output.file);
        EXPECT_EQ(recorded, (std::set<std::string>{"IMG_0001.jpg", "IMG_0002.jpg"}));

        request.progress = {};
        ASSERT_EQ(mount.emplace(kind, stick, mountPoint).skipReason(), "");
        const ExportResult back = run();
        EXPECT_EQ(back.copiedCount, 3);
        EXPECT_EQ(back.skippedCount, 2);
        EXPECT_TRUE(back.failures.empty());
        EXPECT_EQ(filesIn(stick).size(), 5u);
        mount.reset();
    }
    if (ran == 0) GTEST_SKIP() << "neither a bind nor a FUSE mount can be made here";
}

// Photos in a folder behind a mount inside the photo folder that answers each question in 2 s, or
// never (through a seam): the export writes every photo, waiting for the mount only in its check of
// the destination (at most the wait for an answer, when it never answers), not before each file:
// the photo folders are asked again only once a mount was made or removed, and one behind a mount
// that did not answer the check is not asked again when a mount is made elsewhere during the export.
TEST_F(ExporterTest, APhotoFolderBehindASlowOrSilentMountHoldsUpNoExport) {
    using namespace std::chrono_literals;
    using Held = test::HeldMountQuestions;
    fs::create_directories(root / "shared" / "2023");
    fs::create_directories(root / "other");
    fs::create_directories(root / "other view");
    const test::FolderMount nas(test::FolderMount::Kind::fuse, root / "shared", source() / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "IMG_000" + std::to_string(i) + ".jpg";
        const Photo photo = addJpeg(name);
        fs::rename(photo.url, root / "shared" / "2023" / name);
        request.photos.back().url = source() / "nas" / "2023" / name;
        request.photos.back().relativePath = "nas/2023/" + name;
    }
    request.sourceFolder = source();
    for (const auto kind : {Held::Kind::slow, Held::Kind::silent}) {
        SCOPED_TRACE(kind == Held::Kind::slow ? "slow" : "silent");
        fs::remove_all(destination());
        fs::create_directories(destination());
        request.applicationSupportRoot = root / (kind == Held::Kind::slow ? "support slow" : "support silent");
        const Held held(source() / "nas", kind, 2s);
        std::optional<test::FolderMount> elsewhere;
        request.progress = [&](int done, int) {
            if (done == 1)
                elsewhere.emplace(test::FolderMount::Kind::fuse, root / "other", root / "other view");
        };
        const auto started = std::chrono::steady_clock::now();
        const ExportResult result = run();
        EXPECT_LT(std::chrono::steady_clock::now() - started, Exporter::kDiskAnswerWait + 5s);
        EXPECT_EQ(result.copiedCount, 3);
        EXPECT_TRUE(result.failures.empty());
        EXPECT_GT(held.asked(), 0);
        ASSERT_TRUE(elsewhere);
        EXPECT_EQ(elsewhere->skipReason(), "");
        request.progress = {};
    }
}

// A copy B exported again after a change, in overwrite mode: its new file replaces the one the
// last export wrote for it (its own name, IMG_0001-B.jpg), not a numbered one beside it.
TEST_F(ExporterTest, AChangedCopyBReplacesItsOwnFileWhenOverwriting) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    addCopyB(photo, 90);
    request.conflictMode = ExportConflictMode::overwrite;
    ASSERT_EQ(run().copiedCount, 2);
    const auto before = FileNode::of(destination() / "IMG_0001-B.jpg");

    request.retouchesB[photo.relativePath].rotation = 180;
    const ExportResult again = run();
    EXPECT_EQ(again.copiedCount, 1);
    EXPECT_EQ(again.skippedCount, 1);
    EXPECT_EQ(again.overwrittenCount, 1);
    EXPECT_EQ(again.renamedCount, 0);
    EXPECT_FALSE(fs::exists(destination() / "IMG_0001-B-1.jpg"));
    EXPECT_NE(FileNode::of(destination() / "IMG_0001-B.jpg"), before) << "not replaced";
    const auto entries = manifest().entries;
    EXPECT_EQ(entries.at(FilePath::standardized(photo.url).string() + "#B").outputs.at("jpeg").file,
              "IMG_0001-B.jpg");
}

TEST_F(ExporterTest, ACancelDuringRenderingRemovesThePartialFileAndStops) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    addJpeg("IMG_0002.jpg");
    PhotoParameters edited;
    edited.setValue(10, PhotoParameter::exposure);
    request.params[photo.relativePath] = edited;
    onRender = [&] { request.cancellation->cancel(); };
    std::vector<int> progress;
    request.progress = [&](int done, int) { progress.push_back(done); };
    const ExportResult result = run();
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(result.copiedCount, 0);
    EXPECT_EQ(progress, std::vector<int>{1});
    EXPECT_TRUE(fs::is_empty(destination()));
    EXPECT_FALSE(request.cancellation->currentOutput());
}

TEST_F(ExporterTest, AWriteThatFailsBecauseOfACancelStopsTheItemWithoutItsOriginals) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    request.rotations[photo.relativePath] = 90;
    request.saveOriginals = true;
    request.render = [this](const Photo&, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                            std::optional<int>) {
        request.cancellation->cancel();
        return ExportRendering{std::nullopt, std::make_error_code(std::errc::operation_canceled)};
    };
    const ExportResult result = run();
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(result.copiedCount + result.skippedCount, 0);
    EXPECT_EQ(result.originalCopiedCount, 0);
    EXPECT_TRUE(fs::is_empty(destination() / "originals"));
}

TEST_F(ExporterTest, ACancelAfterTheLastItemIsNotACancelledExport) {
    addJpeg("IMG_0001.jpg");
    request.progress = [&](int, int) { request.cancellation->cancel(); };
    const ExportResult result = run();
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.copiedCount, 1);
    EXPECT_TRUE(fs::exists(destination() / "IMG_0001.jpg"));
}

TEST_F(ExporterTest, ARenderingFailureIsListedAndTheNextPhotoStillExported) {
    const Photo photo = addJpeg("IMG_0001.jpg");
    addJpeg("IMG_0002.jpg");
    request.rotations[photo.relativePath] = 12.5;
    request.render = [](const Photo&, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                        std::optional<int>) {
        return ExportRendering{std::nullopt, make_error_code(ExportErrc::fileReadCorruptFile)};
    };
    const ExportResult result = run();
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].fileName, "IMG_0001.jpg");
    EXPECT_EQ(result.copiedCount, 1);
    EXPECT_FALSE(fs::exists(destination() / "IMG_0001.jpg"));
}

TEST_F(ExporterTest, ARunnerExportsInTheBackgroundAndReportsOnTheMainQueue) {
    addJpeg("IMG_0001.jpg");
    addJpeg("IMG_0002.jpg");
    test::ManualExecutor executor;
    test::ManualMainQueue mainQueue;
    std::vector<int> progress;
    std::optional<ExportResult> finished;
    ExportRunner::start(
        request, executor, mainQueue, [&](int done) { progress.push_back(done); },
        [&](ExportResult result) { finished = std::move(result); });
    ASSERT_EQ(executor.waiting(), 1u);
    EXPECT_EQ(executor.job(0).priority, TaskPriority::userInitiated);
    EXPECT_FALSE(fs::exists(destination() / "IMG_0001.jpg")); // nothing runs on the calling thread
    executor.runAll();
    EXPECT_TRUE(progress.empty());
    EXPECT_FALSE(finished);
    mainQueue.runPending();
    EXPECT_EQ(progress, (std::vector<int>{1, 2}));
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->copiedCount, 2);
}

// The names below are free when the export checks them and taken when it writes: a re-encoded
// output, a byte copy and the copies of the originals, in both conflict modes.
// Photos whose outputs meet in one name: the same file name in two subfolders (two cards, two days),
// or names that differ in case only, going to a disk that ignores case. Whatever the conflict
// mode, with or without originals, every photo keeps its own output and its own original's copy,
// and the result counts what is on disk; overwrite mode still replaces a file of an earlier export.
TEST_F(ExporterTest, PhotosWhoseNamesMeetEachKeepTheirOwnOutputAndOriginal) {
    const std::string other = "jpeg/canon_6d_adobergb_gps_lens.jpg";
    const struct {
        std::vector<std::string> names;
        bool ignoresCase;
        std::string second; // the numbered name of the second photo
    } pairs[] = {{{"day1/DSC_0001.jpg", "day2/DSC_0001.jpg"}, false, "DSC_0001-1.jpg"},
                 {{"a.jpg", "A.jpg"}, true, "A-1.jpg"}};
    for (const auto& pair : pairs)
        for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite})
            for (const bool originals : {false, true}) {
                const bool overwrite = mode == ExportConflictMode::overwrite;
                const std::string label =
                    pair.names[0] + (originals ? " originals " : " ") + std::string(rawValue(mode));
                fs::remove_all(source());
                fs::remove_all(destination());
                fs::remove_all(request.applicationSupportRoot);
                fs::create_directories(destination());
                request.photos.clear();
                for (std::size_t i = 0; i < pair.names.size(); ++i) {
                    fs::create_directories((source() / pair.names[i]).parent_path());
                    addJpeg(pair.names[i], i == 0 ? "jpeg/iceland_srgb_untagged_nikon_d800e.jpg" : other);
                }
                const std::string first = request.photos[0].url.filename().string();
                // An earlier export's file under the first name, which overwrite mode replaces.
                if (overwrite) std::ofstream(destination() / first) << "earlier";
                request.conflictMode = mode;
                request.saveOriginals = originals;
                ExportWrittenNames::setCaseProbeForTesting([&](const fs::path&) { return pair.ignoresCase; });
                const ExportResult result = run();
                ExportWrittenNames::setCaseProbeForTesting({});

                EXPECT_TRUE(result.failures.empty()) << label;
                EXPECT_EQ(bytesOf(destination() / first), bytesOf(request.photos[0].url)) << label;
                EXPECT_EQ(bytesOf(destination() / pair.second), bytesOf(request.photos[1].url)) << label;
                EXPECT_EQ(result.copiedCount, 2) << label;
                EXPECT_EQ(result.overwrittenCount, overwrite ? 1 : 0) << label;
                EXPECT_EQ(result.renamedCount, 1) << label;
                EXPECT_EQ(result.firstRenamedFileName, pair.second) << label;
                int outputs = 0;
                for (const auto& entry : fs::directory_iterator(destination()))
                    outputs += entry.is_regular_file();
                EXPECT_EQ(result.outputFileCount, outputs) << label;
                EXPECT_EQ(outputs, 2) << label;
                if (!originals) continue;
                const fs::path copies = destination() / "originals";
                EXPECT_EQ(bytesOf(copies / first), bytesOf(request.photos[0].url)) << label;
                EXPECT_EQ(bytesOf(copies / pair.second), bytesOf(request.photos[1].url)) << label;
                EXPECT_EQ(result.originalCopiedCount, 2) << label;
                EXPECT_EQ(std::distance(fs::directory_iterator(copies), {}), 2) << label;
                // The next export finds every copy and writes nothing.
                const ExportResult again = run();
                EXPECT_EQ(again.skippedCount, 2) << label;
                EXPECT_EQ(again.originalCopiedCount, 0) << label;
                EXPECT_EQ(std::distance(fs::directory_iterator(copies), {}), 2) << label;
            }
}

// A disk that keeps times coarser than the system's (FAT 2 s, exFAT 10 ms) gives every copy a time
// other than its source's: the originals, a RAW companion too, are still copied once only.
TEST_F(ExporterTest, OriginalsAreCopiedOnceOnADiskThatKeepsCoarseTimes) {
    const Photo pair = addPair("IMG_0001");
    const Photo single = addJpeg("IMG_0002.jpg");
    setModificationTime(pair.url, 1'700'000'001);
    ASSERT_EQ(::utimensat(AT_FDCWD, single.url.c_str(),
                          std::array<timespec, 2>{timespec{1'700'000'000, 123'456'789},
                                                  timespec{1'700'000'000, 123'456'789}}.data(),
                          0),
              0);
    request.saveOriginals = true;
    for (const std::int64_t step : {std::int64_t{2'000'000'000}, std::int64_t{10'000'000}}) {
        fs::remove_all(destination());
        fs::create_directories(destination());
        fs::remove_all(request.applicationSupportRoot);
        OutputFile::setCopyTimeStepForTesting(step);
        const ExportResult first = run();
        const ExportResult second = run();
        OutputFile::setCopyTimeStepForTesting(0);
        EXPECT_EQ(first.originalCopiedCount, 2) << step;
        EXPECT_EQ(second.originalCopiedCount, 0) << step;
        EXPECT_EQ(second.skippedCount, 2) << step;
        std::set<std::string> copies;
        for (const auto& entry : fs::directory_iterator(destination() / "originals"))
            copies.insert(entry.path().filename().string());
        EXPECT_EQ(copies, (std::set<std::string>{"IMG_0001.JPG", "IMG_0001.DNG", "IMG_0002.jpg"})) << step;
        // A source changed since is copied again.
        setModificationTime(pair.rawCompanionURL.value(), 1'700'000'100);
        EXPECT_EQ(run().originalCopiedCount, 1) << step;
        EXPECT_TRUE(fs::exists(destination() / "originals" / "IMG_0001-1.DNG")) << step;
        setModificationTime(pair.rawCompanionURL.value(), 1'700'000'001);
    }
}

// A manifest an older version wrote knows only each copy's identity, no source's: copies it names
// are still found, and the next manifest records the sources.
TEST_F(ExporterTest, OriginalsRecordedByAnOlderVersionAreFound) {
    const Photo pair = addPair("IMG_0001");
    request.saveOriginals = true;
    run();
    ExportManifest older = manifest();
    auto& entry = older.entries.begin()->second;
    ASSERT_TRUE(entry.original && entry.original->source && entry.companion);
    entry.original->source.reset();
    entry.companion.reset();
    fs::remove(ExportManifestStore::journalURL(destination(), request.applicationSupportRoot));
    ASSERT_TRUE(ExportManifestStore::write(older, destination(), request.applicationSupportRoot));
    const ExportResult again = run();
    EXPECT_EQ(again.originalCopiedCount, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(destination() / "originals"), {}), 2);
    EXPECT_TRUE(manifest().entries.begin()->second.original->source);
}

// Photos of names about as long as a disk takes (68 kanji, 200 letters): written in both modes,
// beside or over an earlier export's file.
TEST_F(ExporterTest, PhotosWhoseNamesAreAsLongAsTheDiskTakesAreExported) {
    std::string kanji;
    for (int i = 0; i < 68; ++i)
        kanji += "\xE5\x86\x99";
    for (const std::string& base : {kanji, std::string(200, 'a')})
        addJpeg(base + ".jpg");
    request.saveOriginals = true;
    for (const auto mode : {ExportConflictMode::overwrite, ExportConflictMode::rename}) {
        request.conflictMode = mode;
        for (const auto& photo : request.photos)
            std::ofstream(destination() / photo.url.filename()) << "earlier";
        const ExportResult result = run();
        EXPECT_TRUE(result.failures.empty()) << (result.failures.empty() ? "" : result.failures[0].reason);
        EXPECT_EQ(result.copiedCount, 2);
        EXPECT_EQ(result.originalFailureCount, 0);
        for (const auto& photo : request.photos) {
            const bool replaced = bytesOf(destination() / photo.url.filename()) == bytesOf(photo.url);
            EXPECT_EQ(replaced, mode == ExportConflictMode::overwrite) << photo.url.filename();
        }
        fs::remove_all(request.applicationSupportRoot);
    }
}

// A destination whose path is no well-formed UTF-8 (a folder named on another system) keeps its
// manifest: the next export skips what it wrote.
TEST_F(ExporterTest, ADestinationWhosePathIsNotUtf8KeepsItsManifest) {
    addJpeg("IMG_0001.jpg");
    request.destination = root / "out\x93\xfa";
    fs::create_directories(request.destination);
    request.saveOriginals = true;
    EXPECT_EQ(run().copiedCount, 1);
    const ExportResult again = run();
    EXPECT_EQ(again.skippedCount, 1);
    EXPECT_EQ(again.originalCopiedCount, 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(request.destination), {}), 2); // the photo, originals
}

// A pair exported from its RAW whose RAW file is gone names the RAW file, not the output.
TEST_F(ExporterTest, APairWhoseRawIsGoneNamesTheRawFile) {
    const Photo pair = addPair("d1");
    request.sources[pair.relativePath] = PhotoSource::raw;
    request.render = {};
    fs::remove(*pair.rawCompanionURL);
    const ExportResult result = run();
    EXPECT_EQ(result.failures, (std::vector<ExportFailure>{{"d1.jpg", "d1.DNG が見つかりません"}}));
}

// A disk that cannot hold a name (FAT, exFAT and NTFS take no ":" and answer EINVAL, ENOENT or
// EPERM, each driver its own way): the photo is listed with the reason, whichever the answer, and
// the other photos and originals are written.
TEST_F(ExporterTest, ANameTheDiskRefusesIsListedAsSuch) {
    addJpeg("12:30.jpg");
    addJpeg("IMG_0002.jpg");
    request.saveOriginals = true;
    for (const int answer : {EINVAL, ENOENT, EPERM}) {
        OutputFile::setNameRefusalForTesting([answer](const fs::path& file) {
            return file.filename().string().find(':') != std::string::npos
                       ? std::error_code(answer, std::generic_category())
                       : std::error_code();
        });
        const ExportResult result = run();
        OutputFile::setNameRefusalForTesting({});
        EXPECT_EQ(result.failures, (std::vector<ExportFailure>{
                                       {"12:30.jpg", "書き出し先のディスクでは、ファイル名に \\ : * ? \" < > | を使えません"}}))
            << answer;
        EXPECT_TRUE(fs::exists(destination() / "IMG_0002.jpg"));
        EXPECT_TRUE(fs::exists(destination() / "originals" / "IMG_0002.jpg"));
    }
}

class NameTakenWhileExportingTest : public ExporterTest {
protected:
    void SetUp() override {
        ExporterTest::SetUp();
        const Photo edited = addJpeg("IMG_0001.jpg");
        request.rotations[edited.relativePath] = 90;
        addJpeg("IMG_0002.jpg");
        request.saveOriginals = true;
    }
    fs::path originals() const { return destination() / "originals"; }
};

TEST_F(NameTakenWhileExportingTest, RenameModeLeavesTheNewcomerAloneAndTakesTheNextFreeName) {
    NamesTakenAtTheLastMoment other({"IMG_0001.jpg", "IMG_0002.jpg"});
    const ExportResult result = run();
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(result.originalFailureCount, 0);
    EXPECT_EQ(other.taken.size(), 4u);
    for (const auto& file : other.taken)
        EXPECT_EQ(bytesOf(file), "theirs") << file;
    EXPECT_TRUE(isJpeg(bytesOf(destination() / "IMG_0001-1.jpg")));
    EXPECT_EQ(bytesOf(destination() / "IMG_0002-1.jpg"), bytesOf(source() / "IMG_0002.jpg"));
    EXPECT_EQ(bytesOf(originals() / "IMG_0001-1.jpg"), bytesOf(source() / "IMG_0001.jpg"));
    EXPECT_EQ(bytesOf(originals() / "IMG_0002-1.jpg"), bytesOf(source() / "IMG_0002.jpg"));
    EXPECT_EQ(result.renamedCount, 2);
    EXPECT_EQ(manifest().entries.begin()->second.outputs.begin()->second.file, "IMG_0001-1.jpg");
}

TEST_F(NameTakenWhileExportingTest, OverwriteModeReplacesTheNewcomerThroughATemporaryFile) {
    request.conflictMode = ExportConflictMode::overwrite;
    NamesTakenAtTheLastMoment other({"IMG_0001.jpg", "IMG_0002.jpg"});
    const ExportResult result = run();
    EXPECT_TRUE(result.failures.empty());
    EXPECT_EQ(other.taken.size(), 4u);
    EXPECT_TRUE(isJpeg(bytesOf(destination() / "IMG_0001.jpg")));
    EXPECT_EQ(bytesOf(destination() / "IMG_0002.jpg"), bytesOf(source() / "IMG_0002.jpg"));
    EXPECT_EQ(bytesOf(originals() / "IMG_0001.jpg"), bytesOf(source() / "IMG_0001.jpg"));
    EXPECT_EQ(result.overwrittenCount, 2);
    EXPECT_EQ(result.renamedCount, 0);
    for (const fs::path& folder : {destination(), originals()})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << entry.path(); // no temporary left
}

TEST_F(NameTakenWhileExportingTest, AFailingDiskNeverCostsAnybodyElsesFile) {
    for (const auto mode : {ExportConflictMode::rename, ExportConflictMode::overwrite}) {
        request.conflictMode = mode;
        fs::remove_all(destination());
        fs::create_directories(originals());
        std::ofstream(originals() / "IMG_0001.jpg") << "theirs, there before";
        std::ofstream(destination() / "IMG_0002.jpg") << "theirs";
        ExportResult result;
        {
            FailingWrites full(48 << 10); // the small re-encoded output fits; no copy of a photo does
            result = run();
        }
        EXPECT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(result.originalFailureCount, 1);
        EXPECT_EQ(bytesOf(originals() / "IMG_0001.jpg"), "theirs, there before");
        EXPECT_EQ(bytesOf(destination() / "IMG_0002.jpg"), "theirs");
        std::set<fs::path> left;
        for (const auto& entry : fs::recursive_directory_iterator(destination()))
            if (entry.is_regular_file()) left.insert(entry.path());
        EXPECT_EQ(left, (std::set<fs::path>{destination() / "IMG_0001.jpg", destination() / "IMG_0002.jpg",
                                            originals() / "IMG_0001.jpg"}));
    }
}

} // namespace
} // namespace sorvin
