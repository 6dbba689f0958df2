#include "model/file_name_resolver.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

void touch(const std::filesystem::path& path) {
    std::ofstream(path) << "taken";
}

std::string nameOf(const std::optional<std::filesystem::path>& path) {
    return path ? path->filename().string() : std::string("(none)");
}

TEST(FileNameResolver, FreeNamesAndNumberedVariants) {
    test::TemporaryFolder folder;
    touch(folder / "photo-1.jpg");
    EXPECT_EQ(FileNameResolver::availableURL("photo.jpg", folder.path()), folder / "photo.jpg");

    touch(folder / "photo.jpg");
    touch(folder / "IMG_0001.JPG");
    touch(folder / "notes");
    touch(folder / "a.b.jpg");
    std::filesystem::create_directory(folder / "album");
    const std::vector<std::pair<std::string, std::string>> cases{
        {"photo.jpg", "photo-2.jpg"},       // photo-1.jpg is taken too
        {"IMG_0001.JPG", "IMG_0001-1.JPG"}, // the extension keeps its case
        {"notes", "notes-1"},               // no extension, no dot
        {"a.b.jpg", "a.b-1.jpg"},           // only the last extension counts
        {"album", "album-1"},               // a folder takes the name as well
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(nameOf(FileNameResolver::availableURL(name, folder.path())), expected);
    // Nothing was created.
    EXPECT_FALSE(std::filesystem::exists(folder / "photo-2.jpg"));
}

TEST(FileNameResolver, CountsUpToNineHundredNinetyNine) {
    test::TemporaryFolder folder;
    touch(folder / "x.jpg");
    for (int n = 1; n <= 998; ++n)
        touch(folder / ("x-" + std::to_string(n) + ".jpg"));
    EXPECT_EQ(nameOf(FileNameResolver::availableURL("x.jpg", folder.path())), "x-999.jpg");
    EXPECT_EQ(nameOf(FileNameResolver::reserveAvailableURL("x.jpg", folder.path())), "x-999.jpg");
    EXPECT_EQ(FileNameResolver::availableURL("x.jpg", folder.path()), std::nullopt);
    EXPECT_EQ(FileNameResolver::reserveAvailableURL("x.jpg", folder.path()), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(folder / "x-1000.jpg"));
}

TEST(FileNameResolver, ReservingCreatesExclusivelyAndNeverReplaces) {
    test::TemporaryFolder folder;
    const auto first = FileNameResolver::reserveAvailableURL("IMG_1.JPG", folder.path());
    ASSERT_EQ(first, folder / "IMG_1.JPG");
    EXPECT_EQ(std::filesystem::file_size(*first), 0u);

    // Someone else writes the name the test found free, before we create it: it is kept and skipped.
    const auto found = FileNameResolver::availableURL("IMG_1.JPG", folder.path());
    ASSERT_EQ(nameOf(found), "IMG_1-1.JPG");
    touch(*found);
    EXPECT_EQ(nameOf(FileNameResolver::reserveAvailableURL("IMG_1.JPG", folder.path())), "IMG_1-2.JPG");
    std::ifstream kept(*found);
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "taken");
}

TEST(FileNameResolver, ALinkToNothingIsNotWrittenThrough) {
    test::TemporaryFolder folder;
    std::filesystem::create_symlink(folder / "elsewhere.jpg", folder / "out.jpg");
    EXPECT_EQ(nameOf(FileNameResolver::availableURL("out.jpg", folder.path())), "out-1.jpg");
    EXPECT_EQ(nameOf(FileNameResolver::reserveAvailableURL("out.jpg", folder.path())), "out-1.jpg");
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere.jpg"));
}

TEST(FileNameResolver, NamesOutsideTheFolderAndMissingFolders) {
    test::TemporaryFolder folder;
    for (const char* bad : {"", ".", "..", "../x.jpg", "sub/x.jpg"}) {
        EXPECT_EQ(FileNameResolver::availableURL(bad, folder.path()), std::nullopt) << bad;
        EXPECT_EQ(FileNameResolver::reserveAvailableURL(bad, folder.path()), std::nullopt) << bad;
    }
    EXPECT_THROW(FileNameResolver::reserveAvailableURL("x.jpg", folder / "missing"),
                 std::filesystem::filesystem_error);
}

} // namespace
} // namespace sorvin
