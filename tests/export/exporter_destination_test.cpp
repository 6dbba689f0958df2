#include "export/export_error.hpp"
#include "export/export_format_options.hpp"
#include "export/exporter_destination.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <new>
#include <stdexcept>
#include <gtest/gtest.h>
#include <sys/stat.h>
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
    for (const int lost : {ENOTCONN, ESTALE, ETIMEDOUT, EHOSTUNREACH})
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

TEST(ExporterSupportTest, JpegIsAlwaysWritable) {
    EXPECT_TRUE(Exporter::supportsOutput(ExportImageFormat::jpeg));
}

} // namespace
} // namespace sorvin
