#include "library/folder_scanner.hpp"
#include "platform/sha256.hpp"
#include "support/test_support.hpp"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace sorvin {
namespace {

std::string contentOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

ScanCacheEntry entry(std::int64_t size, std::int64_t mtime, std::optional<std::int64_t> date,
                     std::string fmt) {
    ScanCacheEntry e;
    e.size = size;
    e.mtime = mtime;
    e.date = date;
    e.orient = 6;
    e.w = 4000;
    e.h = 3000;
    e.fmt = std::move(fmt);
    return e;
}

TEST(ScanCache, FileNameIsTheFirstEightBytesOfTheFolderPathDigest) {
    const std::filesystem::path root = "/home/me/.cache";
    const std::string digest = Sha256::hex("/photos/2024");
    const auto expected = root / "Sorvin" / ("scan-" + digest.substr(0, 16) + ".json");
    EXPECT_EQ(FolderScanner::scanCacheURL("/photos/2024", root), expected);
    // The folder's standardized form decides: the same folder spelled differently shares the file.
    EXPECT_EQ(FolderScanner::scanCacheURL("/photos/./2024/", root), expected);
    EXPECT_EQ(FolderScanner::scanCacheURL("/photos/x/../2024", root), expected);
}

TEST(ScanCache, WritesCompactJsonWithSortedKeysAndUnescapedSlashes) {
    test::TemporaryFolder caches;
    ScanCacheFile file;
    file.folder = "/photos/旅行";
    file.entries["sub/IMG_0002.NEF"] = entry(20, 1714525200123, std::nullopt, "raw");
    file.entries["IMG_0001.JPG"] = entry(10, -1500, 1714525200000, "jpeg");
    const auto path = caches / "Sorvin" / "scan-0123456789abcdef.json"; // its folder does not exist yet
    FolderScanner::writeCache(file, path);
    EXPECT_EQ(
        contentOf(path),
        "{\"entries\":{"
        "\"IMG_0001.JPG\":{\"date\":1714525200000,\"fmt\":\"jpeg\",\"h\":3000,\"mtime\":-1500,\"orient\":6,"
        "\"size\":10,\"w\":4000},"
        "\"sub/IMG_0002.NEF\":{\"fmt\":\"raw\",\"h\":3000,\"mtime\":1714525200123,\"orient\":6,\"size\":20,"
        "\"w\":4000}},"
        "\"folder\":\"/photos/旅行\",\"version\":2}");
    // And it reads back as written.
    const auto loaded = FolderScanner::loadCache(path, "/photos/旅行");
    EXPECT_EQ(loaded, file.entries);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path.parent_path()), {}), 1);
}

TEST(ScanCache, AWriteThatCannotHappenIsSilentAndLeavesNothing) {
    test::TemporaryFolder caches;
    writeFile(caches / "Sorvin", "a file where the folder should be");
    ScanCacheFile file;
    file.folder = "/photos";
    EXPECT_NO_THROW(FolderScanner::writeCache(file, caches / "Sorvin" / "scan-0000000000000000.json"));
    // A folder path that is not UTF-8 cannot be stored as JSON text: no file rather than a wrong one.
    file.folder = "/photos/\xFF";
    EXPECT_NO_THROW(FolderScanner::writeCache(file, caches / "scan.json"));
    EXPECT_FALSE(std::filesystem::exists(caches / "scan.json"));
}

TEST(ScanCache, IgnoresAWholeFileThatIsForeignDamagedOrOfAnotherVersion) {
    test::TemporaryFolder caches;
    const auto path = caches / "scan.json";
    const std::string goodEntries = R"({"a.jpg":{"size":1,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"}})";
    ASSERT_EQ(FolderScanner::loadCache(path, "/photos").size(), 0u); // no file at all
    writeFile(path, R"({"version":2,"folder":"/photos","entries":)" + goodEntries + "}");
    ASSERT_EQ(FolderScanner::loadCache(path, "/photos").size(), 1u);

    const std::string damaged[] = {
        R"({"version":2,"folder":"/other","entries":)" + goodEntries + "}",
        // An older program's, which listed RAW files at their size before the stretch and the turn.
        R"({"version":1,"folder":"/photos","entries":)" + goodEntries + "}",
        R"({"version":2.0,"folder":"/photos","entries":)" + goodEntries + "}",
        R"({"version":"2","folder":"/photos","entries":)" + goodEntries + "}",
        R"({"folder":"/photos","entries":)" + goodEntries + "}",
        R"({"version":2,"entries":)" + goodEntries + "}",
        R"({"version":2,"folder":"/photos"})",
        R"({"version":2,"folder":"/photos","entries":[]})",
        R"([1,"/photos"])",
        R"({"version":2,"folder":"/photos","entries":)" + goodEntries, // cut short
        "",
        "\xFF\xFE garbage",
        std::string(100000, '['),
    };
    for (const std::string& text : damaged) {
        SCOPED_TRACE(text.substr(0, 80));
        writeFile(path, text);
        EXPECT_TRUE(FolderScanner::loadCache(path, "/photos").empty());
    }
}

TEST(ScanCache, DropsOnlyTheEntriesThatAreNotValid) {
    test::TemporaryFolder caches;
    const auto path = caches / "scan.json";
    writeFile(path,
              R"({"version":2,"folder":"/photos","entries":{)"
              R"("good.jpg":{"size":1,"mtime":2,"orient":8,"w":3,"h":4,"fmt":"heif"},)"
              R"("dated.jpg":{"size":1,"mtime":2,"date":-86400000,"orient":1,"w":3,"h":4,"fmt":"raw"},)"
              R"("orient0.jpg":{"size":1,"mtime":2,"orient":0,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("orient9.jpg":{"size":1,"mtime":2,"orient":9,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("w0.jpg":{"size":1,"mtime":2,"orient":1,"w":0,"h":4,"fmt":"jpeg"},)"
              R"("h0.jpg":{"size":1,"mtime":2,"orient":1,"w":3,"h":0,"fmt":"jpeg"},)"
              R"("negative.jpg":{"size":-1,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("png.jpg":{"size":1,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"png"},)"
              R"("upper.jpg":{"size":1,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"JPEG"},)"
              R"("textdate.jpg":{"size":1,"mtime":2,"date":"2024","orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("nulldate.jpg":{"size":1,"mtime":2,"date":null,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("float.jpg":{"size":1.0,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("exponent.jpg":{"size":1,"mtime":2e3,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("bool.jpg":{"size":true,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("digits.jpg":{"size":"1","mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("huge.jpg":{"size":9223372036854775808,"mtime":2,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("nofmt.jpg":{"size":1,"mtime":2,"orient":1,"w":3,"h":4},)"
              R"("nomtime.jpg":{"size":1,"orient":1,"w":3,"h":4,"fmt":"jpeg"},)"
              R"("array.jpg":[1,2,3])"
              R"(}})");
    const auto loaded = FolderScanner::loadCache(path, "/photos");
    ASSERT_EQ(loaded.size(), 2u);
    const auto good = loaded.at("good.jpg").photo("/photos/good.jpg", "good.jpg");
    ASSERT_TRUE(good.has_value());
    EXPECT_FALSE(good->captureDate.has_value());
    EXPECT_EQ(good->orientation, 8);
    EXPECT_EQ(good->fileFormat, PhotoFileFormat::heif);
    const auto dated = loaded.at("dated.jpg").photo("/photos/dated.jpg", "dated.jpg");
    ASSERT_TRUE(dated.has_value());
    EXPECT_EQ(dated->captureDate, CaptureDate(std::chrono::hours(-24)));
}

TEST(ScanCache, AnEntryKeepsTheCaptureInstantToTheMillisecond) {
    Photo photo;
    photo.url = "/photos/a.heic";
    photo.relativePath = "a.heic";
    photo.captureDate =
        CaptureDate(std::chrono::milliseconds(1714525200000) + std::chrono::microseconds(999));
    photo.orientation = 3;
    photo.pixelWidth = 4032;
    photo.pixelHeight = 3024;
    photo.fileFormat = PhotoFileFormat::heif;
    const ScanCacheEntry stored(photo, CacheIdentity{123, 456});
    EXPECT_EQ(stored.date, 1714525200000); // truncated, not rounded
    EXPECT_EQ(stored.fmt, "heif");
    Photo expected = photo;
    expected.captureDate = CaptureDate(std::chrono::milliseconds(1714525200000));
    EXPECT_EQ(stored.photo(photo.url, photo.relativePath), expected);
}

} // namespace
} // namespace sorvin
