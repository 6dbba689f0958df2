#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "export/export_format_options.hpp"
#include "export/exporter_destination.hpp"
#include "support/breakable_fuse_mount.hpp"
#include "support/folder_mount.hpp"
#include "support/held_mount_questions.hpp"
#include "support/slow_share.hpp"
#include "support/test_support.hpp"

#include <chrono>
#include <fstream>
#include <future>
#include <initializer_list>
#include <set>
#include <new>
#include <stdexcept>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sorvin {
namespace {

namespace fs = std::filesystem;
using Kind = ExportValidationError::Kind;

Photo photoOf(PhotoFileFormat format) {
    Photo photo;
    photo.url = "/Photos/a";
    photo.fileFormat = format;
    return photo;
}

TEST(ExportFormatOptionsTest, FormatsPerPhotoInBothModes) {
    using F = ExportImageFormat;
    const ExportFormatOptions keep{ExportFormatMode::keep, false, true, true};
    EXPECT_EQ(keep.outputFormats(photoOf(PhotoFileFormat::heif)), std::vector<F>{F::heif});
    EXPECT_EQ(keep.outputFormats(photoOf(PhotoFileFormat::jpeg)), std::vector<F>{F::jpeg});
    EXPECT_EQ(keep.outputFormats(photoOf(PhotoFileFormat::raw)), std::vector<F>{F::jpeg});
    EXPECT_FALSE(keep.usesFormatFolders());
    const ExportFormatOptions both{ExportFormatMode::specify, true, true, false};
    EXPECT_EQ(both.outputFormats(photoOf(PhotoFileFormat::heif)), (std::vector<F>{F::jpeg, F::heif}));
    const ExportFormatOptions none{ExportFormatMode::specify, false, false, true};
    EXPECT_TRUE(none.outputFormats(photoOf(PhotoFileFormat::jpeg)).empty());
    EXPECT_EQ(keep.requiredFormats({photoOf(PhotoFileFormat::raw), photoOf(PhotoFileFormat::heif)}),
              (std::set<F>{F::jpeg, F::heif}));
    EXPECT_TRUE(keep.requiredFormats({}).empty());
}

// A name the destination's disk refuses is said as such: FAT, exFAT and NTFS take none of
// \ : * ? " < > | and their drivers answer EINVAL, ENOENT or EPERM; EINVAL and EILSEQ refuse a
// name whatever it holds. Other failures, and other names, read as before.
TEST(ExportErrorTest, ANameTheDiskRefusesIsSaidAsSuch) {
    const std::string characters = "書き出し先のディスクでは、ファイル名に \\ : * ? \" < > | を使えません";
    const std::string name = "書き出し先のディスクがこのファイル名を受け付けません";
    const auto reason = [](int code, const std::string& file) {
        return ExportError::failureReason(std::error_code(code, std::generic_category()), file);
    };
    for (const std::string file : {"12:30.jpg", "a?.jpg", "a*.jpg", "a|b.jpg", "\"a\".jpg", "<a>.jpg",
                                   "a\\b.jpg", "a\tb.jpg"})
        for (const int code : {EINVAL, ENOENT, EPERM, EACCES, EILSEQ})
            EXPECT_EQ(reason(code, file), characters) << file << " " << code;
    EXPECT_EQ(reason(EINVAL, "a.jpg"), name);
    EXPECT_EQ(reason(EILSEQ, "a.jpg"), name);
    EXPECT_EQ(reason(ENOENT, "a.jpg"), "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(reason(EACCES, "a.jpg"), "アクセス権がありません");
    EXPECT_EQ(reason(ENOSPC, "12:30.jpg"), "空き容量が足りません");
    EXPECT_EQ(reason(ENOTCONN, "12:30.jpg"), "フォルダとの接続が切れました");
}

TEST(ExportErrorTest, AFullDiskReadsTheSameFromEverySource) {
    EXPECT_EQ(ExportError::failureReason(std::error_code(ENOSPC, std::generic_category())),
              "空き容量が足りません");
    EXPECT_EQ(ExportError::failureReason(std::error_code(ENOSPC, std::system_category())),
              "空き容量が足りません");
    EXPECT_EQ(ExportError::failureReason(ExportErrc::fileWriteOutOfSpace), "空き容量が足りません");
    EXPECT_NE(ExportError::failureReason(ExportErrc::fileReadCorruptFile), "空き容量が足りません");
    EXPECT_EQ(ExportError::failureReason(std::error_code(EACCES, std::generic_category())),
              "アクセス権がありません");
    // A lost mount or share is said in words, whichever way the system says it.
    for (const int lost : {ENOTCONN, ESTALE, ETIMEDOUT, EHOSTUNREACH, ECONNABORTED, ECONNRESET, ENETDOWN,
                           ENETUNREACH, EREMOTEIO, EIO, ENOLINK})
        EXPECT_EQ(ExportError::failureReason(std::error_code(lost, std::system_category())).find("コード"),
                  std::string::npos)
            << lost;
    // An error we have no text for is said in Japanese with its code; so is a bare exception.
    EXPECT_EQ(ExportError::failureReason(std::error_code(ETXTBSY, std::generic_category())),
              "エラーが起きました（コード " + std::to_string(ETXTBSY) + "）");
    EXPECT_EQ(ExportError::describe(std::bad_alloc()), "メモリが足りません");
    EXPECT_EQ(ExportError::describe(std::system_error(std::make_error_code(std::errc::no_space_on_device))),
              "空き容量が足りません");
    EXPECT_EQ(ExportError::describe(std::runtime_error("unexpected")), "予期しないエラーが起きました");
    for (const int lost : {ECONNABORTED, ECONNRESET, ENOLINK})
        EXPECT_EQ(ExportError::failureReason(std::error_code(lost, std::generic_category())),
                  "フォルダとの接続が切れました");
    EXPECT_EQ(ExportError::failureReason(ExportErrc::fileReadTooLarge),
              "ファイルが大きすぎるため、このプログラムでは読み込めません");
}

class DestinationTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(source());
        fs::create_directories(root / "out");
    }
    fs::path source() const { return root / "Photos"; }
    test::TemporaryFolder root;
};

TEST_F(DestinationTest, BatchDestinationChecksInOrder) {
    EXPECT_EQ(Exporter::validate(root / "out", source()), std::nullopt);
    EXPECT_EQ(Exporter::validate(root / "missing", source())->kind, Kind::destinationMissing);
    EXPECT_EQ(Exporter::validate(root / "Photos" / ".", source())->kind, Kind::destinationIsSource);
    fs::create_directories(source() / "sub");
    EXPECT_EQ(Exporter::validate(source() / "sub", source())->kind, Kind::destinationInsideSource);
    fs::create_directory_symlink(source(), root / "alias");
    EXPECT_EQ(Exporter::validate(root / "alias", source())->kind, Kind::destinationIsSource);
    fs::create_directories(root / "Photos2");
    EXPECT_EQ(Exporter::validate(root / "Photos2", source()), std::nullopt);
    if (::geteuid() != 0) {
        ::chmod((root / "out").c_str(), 0500);
        EXPECT_EQ(Exporter::validate(root / "out", source())->kind, Kind::destinationNotWritable);
        ::chmod((root / "out").c_str(), 0700);
    }
}

TEST_F(DestinationTest, FolderNamesTakenByFilesAreRefusedWithTheirMessages) {
    std::ofstream(root / "out" / "originals") << "x";
    std::ofstream(root / "out" / "HEIF") << "x";
    const auto originals = Exporter::validateOriginalsDestination(root / "out", true);
    ASSERT_TRUE(originals);
    EXPECT_EQ(originals->errorDescription(),
              "書き出し先に originals という名前のファイルがあるため、元データを保存できません");
    EXPECT_FALSE(Exporter::validateOriginalsDestination(root / "out", false));

    const std::vector<Photo> photos{photoOf(PhotoFileFormat::jpeg)};
    const ExportFormatOptions split{ExportFormatMode::specify, true, true, true};
    const auto heif = Exporter::validateFormatDestinations(root / "out", photos, split);
    ASSERT_TRUE(heif);
    EXPECT_EQ(*heif, (ExportValidationError{Kind::formatFolderIsFile, "HEIF"}));
    EXPECT_EQ(heif->errorDescription(),
              "書き出し先に HEIF という名前のファイルがあるため、形式ごとにフォルダを分けられません");
    EXPECT_FALSE(Exporter::validateFormatDestinations(
        root / "out", photos, ExportFormatOptions{ExportFormatMode::specify, true, true, false}));
    EXPECT_FALSE(Exporter::validateFormatDestinations(
        root / "out", photos, ExportFormatOptions{ExportFormatMode::specify, true, false, true}));
}

TEST_F(DestinationTest, CreateDirectoryIfNeeded) {
    EXPECT_FALSE(Exporter::createDirectoryIfNeeded(root / "out"));
    EXPECT_FALSE(Exporter::createDirectoryIfNeeded(root / "out" / "JPEG"));
    EXPECT_TRUE(fs::is_directory(root / "out" / "JPEG"));
    std::ofstream(root / "out" / "file") << "x";
    EXPECT_EQ(Exporter::createDirectoryIfNeeded(root / "out" / "file"), ExportErrc::fileWriteFileExists);
    EXPECT_TRUE(Exporter::createDirectoryIfNeeded(root / "out" / "a" / "b")); // no intermediate folders
}

TEST_F(DestinationTest, SingleExportChecksTheSourceFolderFirst) {
    using E = SingleExportValidationError;
    EXPECT_EQ(Exporter::validateSingleExportDestination(source() / "missing" / "a.jpg", source()),
              E::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(source() / "a.jpg", source()),
              E::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "missing" / "a.jpg", source()),
              E::destinationMissing);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "a.jpg", source()), std::nullopt);
    EXPECT_EQ(errorDescription(E::destinationInsideSource), "元の写真フォルダの中には書き出せません");
}

std::optional<Kind> kindOf(const std::optional<ExportValidationError>& refusal) {
    if (!refusal) return std::nullopt;
    return refusal->kind;
}

// The answer of a check, which must come within `limit`.
template <class Check>
auto answeredWithin(std::chrono::seconds limit, Check check) {
    const auto started = std::chrono::steady_clock::now();
    auto answer = check();
    EXPECT_LT(std::chrono::steady_clock::now() - started, limit);
    return answer;
}

// Every hidden file under the folders: a probe a check left behind.
std::set<fs::path> hiddenFilesUnder(std::initializer_list<fs::path> folders) {
    std::set<fs::path> hidden;
    for (const auto& folder : folders)
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.path().filename().string().starts_with(".")) hidden.insert(entry.path());
    return hidden;
}

// A subfolder of the photo folder mounted at a place of its own is no folder inside the photo
// folder by any path, and a FUSE mount not by node either; both exports refuse it all the same,
// whether it is empty, holds photos or lies deeper, and a folder elsewhere still passes.
TEST_F(DestinationTest, ASubfolderMountedElsewhereIsRefusedByBothExports) {
    fs::create_directories(source() / "exports");
    fs::create_directories(source() / "s1");
    std::ofstream(source() / "s1" / "a.jpg") << "photo";
    fs::create_directories(source() / "a" / "b");
    fs::create_directories(root / "elsewhere");
    int ran = 0;
    for (const auto kind : {test::FolderMount::Kind::bind, test::FolderMount::Kind::fuse}) {
        for (const fs::path subfolder : {"exports", "s1", "a/b", "../elsewhere"}) {
            const bool inside = subfolder != "../elsewhere";
            SCOPED_TRACE(std::string(test::FolderMount::nameOf(kind)) + " of " + subfolder.string());
            const test::FolderMount mount(kind, source() / subfolder, root / "mnt");
            if (!mount.skipReason().empty()) continue;
            ++ran;
            const auto expected = inside ? std::optional(Kind::destinationInsideSource) : std::nullopt;
            EXPECT_EQ(kindOf(Exporter::validate(mount.path(), source())), expected);
            EXPECT_EQ(Exporter::validateSingleExportDestination(mount.path() / "x.jpg", source()),
                      inside ? std::optional(SingleExportValidationError::destinationInsideSource)
                             : std::nullopt);
            EXPECT_EQ(Exporter::validate(root / "out", source()), std::nullopt);
        }
    }
    if (ran == 0) GTEST_SKIP() << "neither a bind nor a FUSE mount can be made here";
    EXPECT_EQ(hiddenFilesUnder({root.path()}), std::set<fs::path>{});
}

// The other way round: a folder elsewhere that a mount inside the photo folder shows is inside it
// too; what is exported there would be among the photos at the next opening.
TEST_F(DestinationTest, AFolderShownInsideThePhotoFolderByAMountIsRefused) {
    fs::create_directories(root / "shared" / "deeper");
    int ran = 0;
    for (const auto kind : {test::FolderMount::Kind::bind, test::FolderMount::Kind::fuse}) {
        SCOPED_TRACE(test::FolderMount::nameOf(kind));
        const test::FolderMount mount(kind, root / "shared", source() / "linked");
        if (!mount.skipReason().empty()) continue;
        ++ran;
        EXPECT_EQ(kindOf(Exporter::validate(root / "shared", source())), Kind::destinationInsideSource);
        EXPECT_EQ(kindOf(Exporter::validate(root / "shared" / "deeper", source())), Kind::destinationInsideSource);
        EXPECT_EQ(Exporter::validate(root / "out", source()), std::nullopt);
    }
    if (ran == 0) GTEST_SKIP() << "neither a bind nor a FUSE mount can be made here";
}

// A photo folder opened through a read-only mount takes no probe: one made in the destination and
// looked for through the photo folder finds the real folder and every folder inside it, in both
// exports; a folder elsewhere passes, and no probe is left anywhere.
TEST_F(DestinationTest, APhotoFolderOpenedThroughAReadOnlyMountIsFoundFromTheDestination) {
    fs::create_directories(source() / "sub" / "deeper");
    std::ofstream(source() / "a.jpg") << "photo";
    test::FuseMirror readOnly(source(), root / "card", "-r");
    if (!readOnly.skipReason().empty()) GTEST_SKIP() << readOnly.skipReason();
    ASSERT_NE(::access((readOnly.path() / "new").c_str(), F_OK), 0);
    EXPECT_EQ(kindOf(Exporter::validate(source(), readOnly.path())), Kind::destinationIsSource);
    EXPECT_EQ(kindOf(Exporter::validate(source() / "sub" / "deeper", readOnly.path())),
              Kind::destinationInsideSource);
    EXPECT_EQ(Exporter::validate(root / "out", readOnly.path()), std::nullopt);
    using E = SingleExportValidationError;
    EXPECT_EQ(Exporter::validateSingleExportDestination(source() / "b.jpg", readOnly.path()),
              E::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(source() / "sub" / "b.jpg", readOnly.path()),
              E::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "b.jpg", readOnly.path()),
              std::nullopt);
    EXPECT_EQ(hiddenFilesUnder({root.path()}), std::set<fs::path>{});
}

// A check killed midway leaves its probe in the destination: the next check removes it, and
// leaves alone the probe of a check that still runs.
TEST_F(DestinationTest, AProbeLeftByAKilledCheckGoesAtTheNextCheck) {
    const auto probeOf = [](pid_t process) {
        std::string name = ExportConflictResolver::temporaryName("folder-check");
        const std::string own = "-" + std::to_string(::getpid()) + "@";
        return name.replace(name.find(own), own.size(), "-" + std::to_string(process) + "@");
    };
    // A destination behind a FUSE mount, where only a probe tells where it lies.
    test::FuseMirror out(root / "out", root / "outside");
    if (!out.skipReason().empty()) GTEST_SKIP() << out.skipReason();
    const fs::path killed = root / "out" / probeOf(test::endedProcessId());
    const fs::path running = root / "out" / probeOf(1);
    std::ofstream(killed) << "";
    std::ofstream(running) << "";
    EXPECT_EQ(Exporter::validate(out.path(), source()), std::nullopt);
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(running));
}

// A destination on a share that stopped answering is said not to answer; the check given up on
// goes on when the share answers again, and leaves no probe in the folder, also where a later
// check finds the folder clean.
TEST_F(DestinationTest, ACheckGivenUpOnLeavesNoProbeWhenTheShareAnswersAgain) {
    using namespace std::chrono_literals;
    test::BreakableFuseMount out(root / "out", root / "outside");
    if (!out.skipReason().empty()) GTEST_SKIP() << out.skipReason();
    out.stall(30s);
    EXPECT_EQ(kindOf(Exporter::validate(out.path(), source())), Kind::destinationNotAnswering);
    out.resume();
    // While the check given up on is out, the next one answers at once without a survey of its own.
    const auto until = std::chrono::steady_clock::now() + 20s;
    auto next = Exporter::validate(out.path(), source());
    while (next && std::chrono::steady_clock::now() < until) next = Exporter::validate(out.path(), source());
    EXPECT_EQ(next, std::nullopt);
    EXPECT_FALSE(out.resumedByWatchdog());
    EXPECT_EQ(hiddenFilesUnder({root / "out"}), std::set<fs::path>{});
}

// A photo folder on a share that stopped answering holds up the check of a destination elsewhere:
// the photo folder is the one said not to answer, also by the checks made while the first is out.
TEST_F(DestinationTest, APhotoFolderThatStopsAnsweringIsNamedInsteadOfTheDestination) {
    using namespace std::chrono_literals;
    fs::create_directories(root / "shared");
    test::BreakableFuseMount photos(root / "shared", root / "share");
    if (!photos.skipReason().empty()) GTEST_SKIP() << photos.skipReason();
    photos.stall(30s);
    const auto refusal = Exporter::validate(root / "out", photos.path());
    EXPECT_EQ(kindOf(refusal), Kind::sourceNotAnswering);
    EXPECT_EQ(refusal.value_or(ExportValidationError{}).errorDescription(),
              "元のフォルダが応答しないため、書き出し先がその中でないことを確かめられませんでした");
    EXPECT_EQ(kindOf(Exporter::refusalInsideSource(root / "out", photos.path())), Kind::sourceNotAnswering);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "a.jpg", photos.path()),
              SingleExportValidationError::sourceNotAnswering);
    EXPECT_FALSE(photos.resumedByWatchdog());
    photos.resume();
}

// A photo folder with two shares of a disk of their own inside it, one that stopped answering
// (its FUSE process stopped) and one that answers slowly. The export's check of a folder on the
// local disk asks neither and ends at once, also at the export's start, whatever photo folders the
// scan listed behind them; a folder reached through the stopped share is refused by its path, the
// folder that share shows passes with the share named as not asked, and the folder the slow one
// shows is still found inside the photo folder. No check waits for the stalled share to come back,
// and none holds more than one thread in it.
TEST_F(DestinationTest, AMountInsideThePhotoFolderThatStopsAnsweringHoldsUpNoExportElsewhere) {
    using namespace std::chrono_literals;
    test::TemporaryFolder otherDisk("/dev/shm");
    struct stat local {}, other {};
    if (::stat(root.path().c_str(), &local) != 0 || ::stat(otherDisk.path().c_str(), &other) != 0 ||
        local.st_dev == other.st_dev)
        GTEST_SKIP() << "no second disk (/dev/shm) here";
    fs::create_directories(otherDisk / "nas" / "2024");
    fs::create_directories(otherDisk / "slow");
    test::BreakableFuseMount nas(otherDisk / "nas", source() / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    test::BreakableFuseMount slow(otherDisk / "slow", source() / "slow");
    ASSERT_EQ(slow.skipReason(), "");
    const std::vector<fs::path> listed{source(), source() / "nas" / "2024", source() / "slow"};
    nas.stall(30s);
    slow.stall(1s);

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Exporter::validate(root / "out", source(), listed), std::nullopt);
    EXPECT_EQ(Exporter::refusalInsideSource(root / "out", source(), listed), std::nullopt);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "a.jpg", source()), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);

    EXPECT_EQ(kindOf(Exporter::validate(source() / "nas" / "2024", source(), listed)),
              Kind::destinationInsideSource);
    Exporter::UnansweredMounts unanswered;
    EXPECT_EQ(Exporter::validate(otherDisk / "nas" / "2024", source(), listed, &unanswered), std::nullopt);
    EXPECT_EQ(unanswered, Exporter::UnansweredMounts{"nas"});
    EXPECT_EQ(Exporter::validateSingleExportDestination(otherDisk / "nas" / "b.jpg", source()), std::nullopt);

    slow.stall(1s);
    EXPECT_EQ(kindOf(Exporter::validate(otherDisk / "slow", source(), listed)), Kind::destinationInsideSource);
    EXPECT_FALSE(nas.resumedByWatchdog()) << "a check waited on the stalled share";
    nas.resume();
    EXPECT_EQ(hiddenFilesUnder({root.path(), otherDisk.path()}), std::set<fs::path>{});
}

// A mount inside the photo folder that may show the destination's disk, asked through a seam
// that answers each question at once, after 2 s (a NAS waking up, a cloud drive), or not at all
// (a mount that stopped answering, let go only as the test ends). A destination it does not show
// passes whatever the mount does: named as not asked once it leaves a question unanswered for the
// wait, after every place was asked when it answers slowly. The folder it shows is refused
// whenever the mount answers, in both exports, and passes only where the mount could not be
// asked. No probe is left behind.
TEST_F(DestinationTest, AMountInsideThePhotoFolderThatIsSlowOrSilentRefusesNoDestination) {
    using namespace std::chrono_literals;
    using Held = test::HeldMountQuestions;
    using E = SingleExportValidationError;
    fs::create_directories(root / "shared" / "2023");
    fs::create_directories(root / "shared" / "2024");
    const test::FolderMount nas(test::FolderMount::Kind::fuse, root / "shared", source() / "nas");
    if (!nas.skipReason().empty()) GTEST_SKIP() << nas.skipReason();
    const std::vector<fs::path> listed{source(), source() / "nas" / "2023", source() / "nas" / "2024"};
    const auto batch = [&](const fs::path& destination, Exporter::UnansweredMounts* unanswered) {
        return answeredWithin(Exporter::kDiskAnswerWait + 5s,
                              [&] { return Exporter::validate(destination, source(), listed, unanswered); });
    };
    const auto single = [&](const fs::path& file) {
        return answeredWithin(Exporter::kDiskAnswerWait + 5s,
                              [&] { return Exporter::validateSingleExportDestination(file, source()); });
    };

    {
        SCOPED_TRACE("answers at once");
        Exporter::UnansweredMounts unanswered;
        EXPECT_EQ(kindOf(batch(root / "shared", &unanswered)), Kind::destinationInsideSource);
        EXPECT_EQ(single(root / "shared" / "2023" / "b.jpg"), E::destinationInsideSource);
        EXPECT_EQ(batch(root / "out", &unanswered), std::nullopt);
        EXPECT_EQ(single(root / "out" / "a.jpg"), std::nullopt);
        EXPECT_TRUE(unanswered.empty());
    }
    {
        SCOPED_TRACE("answers each question in 2 s");
        const Held slow(source() / "nas", Held::Kind::slow, 2s);
        Exporter::UnansweredMounts unanswered;
        // Found at its first question.
        EXPECT_EQ(kindOf(batch(root / "shared", &unanswered)), Kind::destinationInsideSource);
        EXPECT_EQ(single(root / "shared" / "b.jpg"), E::destinationInsideSource);
        EXPECT_TRUE(unanswered.empty());
        // Every place asked, 2 s each: the mount answers, so it is waited for, and not named.
        EXPECT_EQ(answeredWithin(30s, [&] { return Exporter::validate(root / "out", source(), listed, &unanswered); }),
                  std::nullopt);
        EXPECT_TRUE(unanswered.empty());
        EXPECT_EQ(answeredWithin(30s, [&] {
                      return Exporter::validateSingleExportDestination(root / "out" / "a.jpg", source());
                  }),
                  std::nullopt);
        EXPECT_GE(slow.asked(), 3);
    }
    {
        SCOPED_TRACE("never answers");
        const Held silent(source() / "nas", Held::Kind::silent);
        Exporter::UnansweredMounts unanswered;
        EXPECT_EQ(batch(root / "out", &unanswered), std::nullopt);
        EXPECT_EQ(unanswered, Exporter::UnansweredMounts{"nas"});
        unanswered.clear();
        EXPECT_EQ(batch(root / "shared", &unanswered), std::nullopt);
        EXPECT_EQ(unanswered, Exporter::UnansweredMounts{"nas"});
        EXPECT_EQ(single(root / "out" / "a.jpg"), std::nullopt);
        // Through the mount: refused by its path once the mount has left its call unanswered.
        EXPECT_EQ(kindOf(batch(source() / "nas" / "2023", nullptr)), Kind::destinationInsideSource);
    }
    EXPECT_EQ(hiddenFilesUnder({root / "out", root / "shared"}), std::set<fs::path>{});
}

// A share slow on every call (0.7 s each: a cloud drive, a NAS over a slow link), asked some dozen
// times by each check. A destination on it, and one elsewhere for photos opened from it, pass both
// checks within 30 s: each call answers well within the wait. No check file is left behind.
TEST_F(DestinationTest, AShareSlowOnEveryCallIsWaitedForHoweverManyCallsTheChecksMake) {
    using namespace std::chrono_literals;
    fs::create_directories(root / "far" / "out");
    fs::create_directories(root / "far" / "Photos");
    test::SlowShare share(root / "far", root / "share");
    if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    share.answerEachAfter(700ms);
    {
        SCOPED_TRACE("a destination on the share");
        EXPECT_EQ(answeredWithin(30s, [&] { return Exporter::validate(share.path() / "out", source()); }),
                  std::nullopt);
        EXPECT_EQ(answeredWithin(30s, [&] {
                      return Exporter::validateSingleExportDestination(share.path() / "out" / "a.jpg", source());
                  }),
                  std::nullopt);
    }
    {
        SCOPED_TRACE("photos on the share");
        const fs::path photos = share.path() / "Photos";
        EXPECT_EQ(answeredWithin(30s, [&] { return Exporter::validate(root / "out", photos); }), std::nullopt);
        EXPECT_EQ(answeredWithin(30s, [&] {
                      return Exporter::validateSingleExportDestination(root / "out" / "a.jpg", photos);
                  }),
                  std::nullopt);
    }
    share.answerEachAfter(0ms);
    EXPECT_EQ(hiddenFilesUnder({root / "far", root / "out"}), std::set<fs::path>{});
}

// Photos opened from a share slow on every call, and a folder in the photo folder reached through a
// view of it (bindfs, whose mount table entry names the folder it shows): each call to the view
// asks the share a few times, so that the view answers every call about 0.7 s late. Both checks
// wait for it and refuse it as inside the photo folder, not as not answering.
TEST_F(DestinationTest, AViewOfAFolderInThePhotoFolderAnsweringLateIsRefusedAsInsideIt) {
    using namespace std::chrono_literals;
    fs::create_directories(root / "far" / "Photos" / "sub");
    test::SlowShare share(root / "far", root / "share");
    if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    const fs::path photos = share.path() / "Photos";
    const test::FuseMirror view(photos / "sub", root / "view");
    if (!view.skipReason().empty()) GTEST_SKIP() << view.skipReason();
    share.answerEachAfter(250ms);
    EXPECT_EQ(kindOf(answeredWithin(90s, [&] { return Exporter::validate(view.path(), photos); })),
              Kind::destinationInsideSource);
    EXPECT_EQ(answeredWithin(90s, [&] {
                  return Exporter::validateSingleExportDestination(view.path() / "b.jpg", photos);
              }),
              SingleExportValidationError::destinationInsideSource);
    share.answerEachAfter(0ms);
    EXPECT_EQ(hiddenFilesUnder({root / "far"}), std::set<fs::path>{});
}

// A share slow on every call that stops answering while a check asks it: the folder whose call is
// out is the one named, the destination or the photo folder, by both checks, also by one made
// while the first is still out.
TEST_F(DestinationTest, TheFolderWhoseCallIsOutIsTheOneNamed) {
    using namespace std::chrono_literals;
    using E = SingleExportValidationError;
    // The check, with the share stopped once it has answered `calls` calls of it.
    const auto stoppedAfter = [](test::SlowShare& share, std::size_t calls, auto check) {
        share.answerEachAfter(700ms);
        auto checked = std::async(std::launch::async, check);
        while (share.calls().size() < calls && checked.wait_for(10ms) != std::future_status::ready) {
        }
        share.stop(60s);
        return checked.get();
    };
    {
        SCOPED_TRACE("a destination on the share, stopped while the check asks it");
        fs::create_directories(root / "far" / "out");
        test::SlowShare share(root / "far", root / "share");
        if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
        const fs::path out = share.path() / "out";
        EXPECT_EQ(kindOf(stoppedAfter(share, 6, [&] { return Exporter::validate(out, source()); })),
                  Kind::destinationNotAnswering);
        EXPECT_EQ(Exporter::validateSingleExportDestination(out / "a.jpg", source()), E::destinationNotAnswering);
        EXPECT_FALSE(share.resumedByWatchdog());
    }
    {
        SCOPED_TRACE("photos on the share, stopped as the check begins to ask it");
        fs::create_directories(root / "far2" / "Photos");
        test::SlowShare share(root / "far2", root / "share2");
        const fs::path photos = share.path() / "Photos";
        EXPECT_EQ(kindOf(stoppedAfter(share, 1, [&] { return Exporter::validate(root / "out", photos); })),
                  Kind::sourceNotAnswering);
        EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "a.jpg", photos), E::sourceNotAnswering);
        EXPECT_EQ(errorDescription(E::sourceNotAnswering),
                  "元の写真フォルダが応答しないため、書き出し先がその中でないことを確かめられませんでした");
        EXPECT_FALSE(share.resumedByWatchdog());
    }
}

// The share answers the call that makes the check file only after the check said that the folder
// does not answer: the file goes as soon as it is made, and the next check passes.
TEST_F(DestinationTest, ACheckFileMadeAfterItsCheckWasGivenUpGoesAtOnce) {
    using namespace std::chrono_literals;
    // Only a folder that a mount may show gets a check file.
    test::FuseMirror out(root / "out", root / "outside");
    if (!out.skipReason().empty()) GTEST_SKIP() << out.skipReason();
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        bool held = false;
    };
    auto gate = std::make_shared<Gate>();
    // The first call that makes a check file waits until the test lets it go.
    Exporter::setMountQuestionHookForTesting([gate](const fs::path& place) {
        if (place.filename().string().find("folder-check") == std::string::npos) return;
        std::unique_lock lock(gate->mutex);
        if (std::exchange(gate->held, true)) return;
        gate->opened.wait_for(lock, 60s, [&] { return gate->open; });
    });
    EXPECT_EQ(kindOf(Exporter::validate(out.path(), source())), Kind::destinationNotAnswering);
    {
        const std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    const auto until = std::chrono::steady_clock::now() + 20s;
    auto next = Exporter::validate(out.path(), source());
    while (next && std::chrono::steady_clock::now() < until) next = Exporter::validate(out.path(), source());
    Exporter::setMountQuestionHookForTesting({});
    EXPECT_EQ(next, std::nullopt);
    EXPECT_TRUE(gate->held);
    EXPECT_EQ(hiddenFilesUnder({root / "out"}), std::set<fs::path>{});
}

TEST(ExporterSupportTest, JpegIsAlwaysWritable) {
    EXPECT_TRUE(Exporter::supportsOutput(ExportImageFormat::jpeg));
}

} // namespace
} // namespace sorvin
