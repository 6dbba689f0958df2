// Neither export ever replaces a photo it reads, whatever path leads to it: the photo folder
// mounted a second time, a hard link or a symbolic link to a photo, each in the batch export and in
// the export of one photo; and the test is made again just before a file is replaced.

#include "app/single_photo_export.hpp"
#include "export/exporter.hpp"
#include "export/exporter_destination.hpp"
#include "library/folder_scanner.hpp"
#include "support/bind_mount.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <unistd.h>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSourceFolderRefused = "書き出し先に元のフォルダは指定できません";
constexpr const char* kInsideSourceRefused = "元の写真フォルダの中には書き出せません";

std::string bytesOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string refusalText(const std::optional<ExportValidationError>& refusal) {
    return refusal ? refusal->errorDescription() : "accepted";
}

class ExportSourceProtectionTest : public ::testing::Test {
protected:
    ExportSourceProtectionTest() {
        fs::create_directories(photos());
        fs::create_directories(out());
        for (const auto& [name, sampleName] : {std::pair{"a.jpg", "jpeg/nikon_d70s_gps_lens.jpg"},
                                               std::pair{"b.jpg", "jpeg/iceland_srgb_untagged_nikon_d800e.jpg"}}) {
            fs::copy_file(sample(sampleName), photos() / name);
            photoList.push_back(*FolderScanner::metadata(photos() / name, name));
            originals[name] = bytesOf(photos() / name);
        }
    }

    fs::path photos() const { return root / "photos"; }
    fs::path out() const { return root / "out"; }

    // Every photo rendered anew (turned), replacing same-named files, with its originals copied.
    ExportRequest batch(const fs::path& destination) {
        ExportRequest request;
        request.photos = photoList;
        for (const auto& photo : photoList)
            request.rotations[photo.relativePath] = 90;
        request.destination = destination;
        request.conflictMode = ExportConflictMode::overwrite;
        request.saveOriginals = true;
        request.applicationSupportRoot = root / "support";
        request.formatOptions = ExportFormatOptions{ExportFormatMode::keep, true, false, false};
        request.render = renderer();
        return request;
    }

    SinglePhotoExport::Request single(const fs::path& destination) {
        SinglePhotoExport::Request request;
        request.photo = photoList[0];
        request.rotation = 90;
        request.sourceFolder = photos();
        request.destination = destination;
        return request;
    }

    Exporter::ExportRenderer renderer() {
        return [this](const Photo& photo, double, const ManualCrop&, const PhotoParameters&, PhotoSource,
                      std::optional<int>) {
            if (whileRendering) whileRendering();
            PixelBuffer pixels(8, 6);
            std::fill(pixels.data(), pixels.data() + pixels.byteCount(), std::uint8_t{90});
            return ExportRendering{RenderedEditedImage{makeImage(std::move(pixels)), photo.url}, {}};
        };
    }

    void expectPhotosUntouched() {
        std::map<std::string, std::string> now;
        for (const auto& entry : fs::directory_iterator(photos()))
            now[entry.path().filename().string()] = bytesOf(entry.path());
        EXPECT_EQ(now, originals) << "the photo folder changed";
    }

    TemporaryFolder root;
    std::vector<Photo> photoList;
    std::map<std::string, std::string> originals;
    std::function<void()> whileRendering;
};

TEST_F(ExportSourceProtectionTest, ThePhotoFolderMountedAgainIsRefusedAsTheFolderItself) {
    const fs::path alias = root / "alias";
    BindMount bound(photos(), alias);
    if (!bound.mounted()) GTEST_SKIP() << "binding a folder needs root";
    fs::create_directories(photos() / "sub");

    EXPECT_EQ(refusalText(Exporter::validate(alias, photos())), kSourceFolderRefused);
    EXPECT_EQ(refusalText(Exporter::validate(alias / "sub", photos())), "書き出し先に元のフォルダの中は指定できません");
    EXPECT_EQ(refusalText(Exporter::validate(photos(), alias)), kSourceFolderRefused);
    fs::remove(photos() / "sub");

    // The batch export checks again before it writes; and without the folder to compare with, it
    // still recognises every photo under its other path and gives the outputs numbered names.
    ExportRequest request = batch(alias);
    request.sourceFolder = photos();
    EXPECT_EQ(Exporter::exportPhotos(request).failures,
              std::vector<ExportFailure>{(ExportFailure{"", kSourceFolderRefused})});
    expectPhotosUntouched();
    request.sourceFolder.reset();
    request.saveOriginals = false;
    const ExportResult numbered = Exporter::exportPhotos(request);
    EXPECT_EQ(numbered.renamedCount, 2);
    EXPECT_EQ(numbered.overwrittenCount, 0);
    fs::remove(photos() / "a-1.jpg");
    fs::remove(photos() / "b-1.jpg");
    expectPhotosUntouched();

    // The one-photo export, into the folder or onto the photo itself through the other path.
    EXPECT_EQ(SinglePhotoExport::run(single(alias / "new.jpg"), renderer()), kInsideSourceRefused);
    EXPECT_EQ(SinglePhotoExport::run(single(alias / "a.jpg"), renderer()), kInsideSourceRefused);
    expectPhotosUntouched();
}

TEST_F(ExportSourceProtectionTest, AHardOrSymbolicLinkToAPhotoIsNeverReplaced) {
    for (const bool hard : {true, false}) {
        SCOPED_TRACE(hard ? "hard link" : "symbolic link");
        fs::remove_all(out());
        fs::create_directories(out() / "originals");
        for (const fs::path& link : {out() / "a.jpg", out() / "originals" / "b.jpg", out() / "chosen.jpg"}) {
            const fs::path photo = photos() / (link.filename() == "b.jpg" ? "b.jpg" : "a.jpg");
            if (hard)
                fs::create_hard_link(photo, link);
            else
                fs::create_symlink(photo, link);
        }
        EXPECT_EQ(SinglePhotoExport::run(single(out() / "chosen.jpg"), renderer()), kInsideSourceRefused);

        ExportRequest request = batch(out());
        request.sourceFolder = photos();
        const ExportResult result = Exporter::exportPhotos(request);
        EXPECT_TRUE(result.failures.empty());
        EXPECT_EQ(result.originalFailureCount, 0);
        EXPECT_TRUE(fs::exists(out() / "a-1.jpg"));
        EXPECT_TRUE(fs::exists(out() / "originals" / "b-1.jpg"));
        EXPECT_EQ(bytesOf(out() / "a.jpg"), originals["a.jpg"]);
        expectPhotosUntouched();
    }
}

// A link to a photo that appears under the chosen name while the new file is being made is found
// by the second test, made just before the name is given.
TEST_F(ExportSourceProtectionTest, ALinkToAPhotoAppearingDuringTheExportIsStillRefused) {
    whileRendering = [&] { fs::create_hard_link(photos() / "a.jpg", out() / "chosen.jpg"); };
    EXPECT_EQ(SinglePhotoExport::run(single(out() / "chosen.jpg"), renderer()), kInsideSourceRefused);
    EXPECT_EQ(bytesOf(out() / "chosen.jpg"), originals["a.jpg"]);
    fs::remove(out() / "chosen.jpg");

    ExportRequest request = batch(out());
    request.photos.resize(1);
    request.saveOriginals = false;
    whileRendering = [&] { fs::create_hard_link(photos() / "a.jpg", out() / "a.jpg"); };
    const ExportResult result = Exporter::exportPhotos(request);
    EXPECT_EQ(result.firstRenamedFileName, "a-1.jpg");
    EXPECT_EQ(result.overwrittenCount, 0);
    expectPhotosUntouched();
    for (const auto& entry : fs::directory_iterator(out()))
        EXPECT_NE(entry.path().filename().string().front(), '.') << "a temporary file was left";
}

} // namespace
} // namespace sorvin::test
