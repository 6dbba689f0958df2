#include "export/export_conflict_resolver.hpp"
#include "export/export_error.hpp"
#include "export/export_format_options.hpp"
#include "export/exporter_destination.hpp"
#include "support/fuse_mount.hpp"
#include "support/test_support.hpp"

#include <fstream>
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

Photo photoAt(const fs::path& file) {
    Photo photo;
    photo.url = file;
    photo.relativePath = file.filename().string();
    photo.fileFormat = PhotoFileFormat::jpeg;
    return photo;
}

std::optional<Kind> kindOf(const std::optional<ExportValidationError>& refusal) {
    if (!refusal) return std::nullopt;
    return refusal->kind;
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
    const std::vector<Photo> photos{photoAt(readOnly.path() / "a.jpg")};
    EXPECT_EQ(kindOf(Exporter::validate(source(), readOnly.path(), photos)), Kind::destinationIsSource);
    EXPECT_EQ(kindOf(Exporter::validate(source() / "sub" / "deeper", readOnly.path(), photos)),
              Kind::destinationInsideSource);
    EXPECT_EQ(Exporter::validate(root / "out", readOnly.path(), photos), std::nullopt);
    using E = SingleExportValidationError;
    EXPECT_EQ(Exporter::validateSingleExportDestination(source() / "b.jpg", readOnly.path(), photos),
              E::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(source() / "sub" / "b.jpg", readOnly.path(), photos),
              E::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "b.jpg", readOnly.path(), photos),
              std::nullopt);
    std::set<fs::path> left;
    for (const auto& entry : fs::recursive_directory_iterator(root.path()))
        if (entry.path().filename().string().starts_with(".")) left.insert(entry.path());
    EXPECT_TRUE(left.empty()) << *left.begin();
}

// The export of one photo checks the folder the photo lies in, not only the folder opened: a mount
// of that subfolder alone is no folder inside the opened one by any path.
TEST_F(DestinationTest, TheOnePhotoExportChecksThePhotosOwnFolder) {
    fs::create_directories(source() / "day1");
    std::ofstream(source() / "day1" / "a.jpg") << "photo";
    test::FuseMirror day(source() / "day1", root / "day");
    if (!day.skipReason().empty()) GTEST_SKIP() << day.skipReason();
    const std::vector<Photo> photos{photoAt(source() / "day1" / "a.jpg")};
    EXPECT_EQ(Exporter::validateSingleExportDestination(day.path() / "a-edit.jpg", source(), photos),
              SingleExportValidationError::destinationInsideSource);
    EXPECT_EQ(Exporter::validateSingleExportDestination(root / "out" / "a-edit.jpg", source(), photos),
              std::nullopt);
}

// A check killed midway leaves its probe in the photo folder: the next check removes it, and
// leaves alone the probe of a check that still runs.
TEST_F(DestinationTest, AProbeLeftByAKilledCheckGoesAtTheNextCheck) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    const auto probeOf = [](pid_t process) {
        std::string name = ExportConflictResolver::temporaryName("folder-check");
        const std::string own = "-" + std::to_string(::getpid()) + "@";
        return name.replace(name.find(own), own.size(), "-" + std::to_string(process) + "@");
    };
    const fs::path killed = source() / probeOf(child);
    const fs::path running = source() / probeOf(1);
    std::ofstream(killed) << "";
    std::ofstream(running) << "";
    EXPECT_EQ(Exporter::validate(root / "out", source()), std::nullopt);
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(running));
}

TEST(ExporterSupportTest, JpegIsAlwaysWritable) {
    EXPECT_TRUE(Exporter::supportsOutput(ExportImageFormat::jpeg));
}

} // namespace
} // namespace sorvin
