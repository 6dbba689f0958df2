#include "export/export_conflict_resolver.hpp"
#include "platform/file_path.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
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
    EXPECT_EQ(target("IMG_0001.jpg", Mode::rename),
              (ExportWriteTarget{folder / "IMG_0001.jpg", folder / "IMG_0001.jpg", false, false}));
    touch("IMG_0001.jpg");
    touch("IMG_0001-1.jpg");
    EXPECT_EQ(target("IMG_0001.jpg", Mode::rename),
              (ExportWriteTarget{folder / "IMG_0001-2.jpg", folder / "IMG_0001-2.jpg", false, true}));
    for (int n = 2; n <= 999; ++n)
        touch("IMG_0001-" + std::to_string(n) + ".jpg");
    EXPECT_FALSE(target("IMG_0001.jpg", Mode::rename));
    EXPECT_FALSE(
        target("IMG_0001.jpg", Mode::overwrite, {FilePath::resolved(folder / "IMG_0001.jpg").string()}));
}

TEST_F(ExportConflictResolverTest, OverwriteModeReplacesThroughAHiddenFileBesideTheOld) {
    EXPECT_EQ(target("IMG_0001.jpg", Mode::overwrite)->replacesExisting, false);
    touch("IMG_0001.jpg");
    const auto replacing = target("IMG_0001.jpg", Mode::overwrite);
    ASSERT_TRUE(replacing);
    EXPECT_EQ(replacing->finalURL, folder / "IMG_0001.jpg");
    EXPECT_TRUE(replacing->replacesExisting);
    EXPECT_FALSE(replacing->isRenamed);
    EXPECT_EQ(replacing->temporaryURL.parent_path(), folder.path());
    const std::string name = replacing->temporaryURL.filename().string();
    const std::string prefix = ".IMG_0001.jpg.sorvin-tmp-" + std::to_string(::getpid()) + "-";
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
    EXPECT_NE(target("IMG_0001.jpg", Mode::overwrite)->temporaryURL, replacing->temporaryURL);
}

// A killed export leaves its hidden temporary file beside the file it was replacing; the next
// overwrite of that name removes it, but never one that a running export is writing.
TEST_F(ExportConflictResolverTest, OverwriteRemovesTheTemporariesOfEndedExportsOnly) {
    const std::string ended = ".IMG_0001.jpg.sorvin-tmp-" + std::to_string(test::endedProcessId()) + "-A1";
    const std::string ours = ".IMG_0001.jpg.sorvin-tmp-" + std::to_string(::getpid()) + "-B2";
    const std::string otherName =
        ".IMG_0002.jpg.sorvin-tmp-" + std::to_string(test::endedProcessId()) + "-C3";
    for (const auto& name : {ended, ours, otherName, std::string("IMG_0001.jpg")})
        touch(name);
    ASSERT_TRUE(target("IMG_0001.jpg", Mode::overwrite)->replacesExisting);
    EXPECT_FALSE(fs::exists(folder / ended));
    EXPECT_TRUE(fs::exists(folder / ours));
    EXPECT_TRUE(fs::exists(folder / otherName));
    EXPECT_TRUE(fs::exists(folder / "IMG_0001.jpg"));
}

TEST_F(ExportConflictResolverTest, OverwriteModeNumbersProtectedFilesLinksToThemAndFolders) {
    touch("IMG_0001.jpg");
    const auto protectedPaths = ExportConflictResolver::protectedSourcePaths({}, {folder / "IMG_0001.jpg"});
    EXPECT_EQ(target("IMG_0001.jpg", Mode::overwrite, protectedPaths)->finalURL, folder / "IMG_0001-1.jpg");

    fs::create_directories(folder / "elsewhere");
    fs::create_symlink(folder / "IMG_0001.jpg", folder / "elsewhere" / "IMG_0001.jpg");
    const auto linked =
        ExportConflictResolver::target("IMG_0001.jpg", folder / "elsewhere", Mode::overwrite, protectedPaths);
    EXPECT_EQ(linked->finalURL, folder / "elsewhere" / "IMG_0001-1.jpg");
    EXPECT_TRUE(linked->isRenamed);

    fs::create_directories(folder / "IMG_0002.jpg");
    EXPECT_EQ(target("IMG_0002.jpg", Mode::overwrite)->finalURL, folder / "IMG_0002-1.jpg");
}

TEST_F(ExportConflictResolverTest, ProtectedPathsHoldEveryFileOfEveryPhotoResolved) {
    touch("A.JPG");
    touch("A.CR3");
    fs::create_symlink(folder / "A.JPG", folder / "link.jpg");
    Photo photo;
    photo.url = folder / "." / "link.jpg";
    photo.rawCompanionURL = folder / "A.CR3";
    const auto paths =
        ExportConflictResolver::protectedSourcePaths({photo}, {folder / "sub" / ".." / "extra.jpg"});
    EXPECT_EQ(paths,
              (ExportConflictResolver::ProtectedPaths{FilePath::resolved(folder / "A.JPG").string(),
                                                      FilePath::resolved(folder / "A.CR3").string(),
                                                      FilePath::resolved(folder / "extra.jpg").string()}));
}

TEST_F(ExportConflictResolverTest, DiscardRemovesTheTemporaryFileOnly) {
    touch("IMG_0001.jpg");
    const auto replacing = *target("IMG_0001.jpg", Mode::overwrite);
    std::ofstream(replacing.temporaryURL) << "partial";
    ExportConflictResolver::discardTemporaryItem(replacing);
    EXPECT_FALSE(fs::exists(replacing.temporaryURL));
    EXPECT_TRUE(fs::exists(folder / "IMG_0001.jpg"));
    ExportConflictResolver::discardTemporaryItem(replacing); // nothing left: silent
}

} // namespace
} // namespace sorvin
