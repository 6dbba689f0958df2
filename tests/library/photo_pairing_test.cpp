#include "library/folder_scanner.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

Photo photoAt(const std::string& relativePath, int orientation = 1) {
    Photo photo;
    photo.url = std::filesystem::path("/photos") / relativePath;
    photo.relativePath = relativePath;
    photo.fileFormat = *photoFileFormatFrom(relativePath);
    photo.orientation = orientation;
    photo.pixelWidth = 100 + static_cast<int>(relativePath.size());
    photo.pixelHeight = 50;
    return photo;
}

std::vector<std::string> mainPaths(const std::vector<Photo>& photos) {
    std::vector<std::string> paths;
    for (const Photo& photo : photos)
        paths.push_back(photo.relativePath);
    return paths;
}

struct PairingCase {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> expectedMainFiles;
    std::size_t expectedPairs;
};

TEST(PhotoPairing, JoinsOnlyALoneDisplayAndRawFileOfOneNameInOneFolder) {
    const PairingCase cases[] = {
        {"JPEG first", {"IMG_0001.JPG", "IMG_0001.NEF"}, {"IMG_0001.JPG"}, 1},
        {"RAW first", {"IMG_0001.NEF", "IMG_0001.JPG"}, {"IMG_0001.JPG"}, 1},
        {"HEIF with DNG", {"IMG_0001.HEIC", "IMG_0001.DNG"}, {"IMG_0001.HEIC"}, 1},
        {"letter case of names", {"IMG_0001.JPG", "img_0001.nef"}, {"IMG_0001.JPG"}, 1},
        {"group of three",
         {"IMG_0001.JPG", "IMG_0001.HEIC", "IMG_0001.NEF"},
         {"IMG_0001.JPG", "IMG_0001.HEIC", "IMG_0001.NEF"},
         0},
        {"two RAW files", {"IMG_0001.NEF", "IMG_0001.DNG"}, {"IMG_0001.NEF", "IMG_0001.DNG"}, 0},
        {"two display files", {"IMG_0001.JPG", "IMG_0001.HEIC"}, {"IMG_0001.JPG", "IMG_0001.HEIC"}, 0},
        {"different folders", {"IMG_0001.JPG", "sub/IMG_0001.NEF"}, {"IMG_0001.JPG", "sub/IMG_0001.NEF"}, 0},
        {"folder names keep their case",
         {"Trip/IMG_0001.JPG", "trip/IMG_0001.NEF"},
         {"Trip/IMG_0001.JPG", "trip/IMG_0001.NEF"},
         0},
        {"only the last extension goes",
         {"IMG_0001.JPG", "IMG_0001.JPG.NEF"},
         {"IMG_0001.JPG", "IMG_0001.JPG.NEF"},
         0},
        {"pairs in subfolders", {"a/X.NEF", "b/X.JPG", "a/X.JPG", "b/X.NEF"}, {"a/X.JPG", "b/X.JPG"}, 2},
        {"non-ASCII case folding", {"\xC3\x84PFEL.JPG", "\xC3\xA4pfel.nef"}, {"\xC3\x84PFEL.JPG"}, 1},
        {"empty input", {}, {}, 0},
    };
    for (const PairingCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Photo> input;
        for (const std::string& file : c.files)
            input.push_back(photoAt(file));
        const auto [output, pairs] = FolderScanner::pairRawAndDisplayFiles(input);
        EXPECT_THAT(mainPaths(output), ::testing::ElementsAreArray(c.expectedMainFiles));
        EXPECT_EQ(pairs, c.expectedPairs);
    }
}

TEST(PhotoPairing, TheJoinedPhotoShowsTheDisplayFileWithTheRawFileAsCompanion) {
    Photo jpeg = photoAt("trip/IMG_0001.JPG", 6);
    jpeg.captureDate = CaptureDate(std::chrono::seconds(1000));
    Photo raw = photoAt("trip/IMG_0001.NEF", 8);
    raw.captureDate = CaptureDate(std::chrono::seconds(2000));
    raw.pixelWidth = 6000;
    raw.pixelHeight = 4000;

    const auto [output, pairs] = FolderScanner::pairRawAndDisplayFiles({raw, jpeg});
    ASSERT_EQ(output.size(), 1u);
    Photo expected = jpeg;
    expected.rawCompanionURL = raw.url;
    expected.rawCompanionRelativePath = "trip/IMG_0001.NEF";
    expected.rawCompanionOrientation = 8;
    expected.rawCompanionPixelWidth = 6000;
    expected.rawCompanionPixelHeight = 4000;
    EXPECT_EQ(output[0], expected);
}

TEST(PhotoPairing, APairTakesThePlaceOfItsFirstFile) {
    const auto [output, pairs] = FolderScanner::pairRawAndDisplayFiles(
        {photoAt("A.JPG"), photoAt("B.NEF"), photoAt("C.JPG"), photoAt("B.JPG"), photoAt("A.NEF")});
    EXPECT_THAT(mainPaths(output), ::testing::ElementsAre("A.JPG", "B.JPG", "C.JPG"));
    EXPECT_EQ(pairs, 2u);
}

} // namespace
} // namespace sorvin
