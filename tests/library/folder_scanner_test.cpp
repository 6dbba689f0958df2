#include "library/folder_scanner.hpp"
#include "support/test_support.hpp"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>

namespace sorvin {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;
using ::testing::UnorderedElementsAreArray;
using Kind = FolderScannerError::Kind;

void writeFile(const std::filesystem::path& path, const std::string& bytes = "x") {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A metadata reader that opens nothing: every file is a 30 x 20 photo; it counts its calls.
struct FakeReader {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    FolderScanner::MetadataReader reader() const {
        return [calls = calls](const std::filesystem::path& url,
                               const std::string& key) -> std::optional<Photo> {
            ++*calls;
            Photo photo;
            photo.url = url;
            photo.relativePath = key;
            photo.pixelWidth = 30;
            photo.pixelHeight = 20;
            photo.fileFormat = *photoFileFormatFrom(url);
            return photo;
        };
    }
};

// A scan's progress reports, in the order they came.
struct ProgressLog {
    std::mutex lock;
    std::vector<std::pair<std::size_t, std::size_t>> calls;
    FolderScanner::Progress callback() {
        return [this](std::size_t processed, std::size_t total) {
            std::lock_guard guard(lock);
            calls.emplace_back(processed, total);
        };
    }
};

const FolderScanner::CancelProbe neverCancelled = [] { return false; };

std::vector<std::string> keysOf(const std::vector<Photo>& photos) {
    std::vector<std::string> keys;
    for (const Photo& photo : photos)
        keys.push_back(photo.relativePath);
    return keys;
}

std::vector<std::string> candidateKeys(const std::filesystem::path& folder, bool includeSubfolders) {
    std::vector<std::string> keys;
    for (const ScanCandidate& c : FolderScanner::candidates(folder, includeSubfolders))
        keys.push_back(c.relativePath.value_or("<not UTF-8>"));
    return keys;
}

class FolderScannerTest : public ::testing::Test {
protected:
    test::TemporaryFolder photos;
    test::TemporaryFolder caches;
    FakeReader fake;
    ProgressLog progress;

    ScanResult scan(bool includeSubfolders = true) {
        return FolderScanner::scan(photos.path(), includeSubfolders, progress.callback(), neverCancelled,
                                   caches.path(), fake.reader());
    }
};

TEST_F(FolderScannerTest, ListsOnlyVisibleNonEmptyPhotoFilesThatAreNotLinks) {
    writeFile(photos / "IMG_0001.JPG");
    writeFile(photos / "b.Heif");
    writeFile(photos / "c.dng");
    writeFile(photos / "IMG_0002.JPG", ""); // empty
    writeFile(photos / "notes.txt");
    writeFile(photos / "noextension");
    writeFile(photos / ".DS_Store");
    writeFile(photos / "._IMG_0001.JPG");
    writeFile(photos / ".hidden" / "inside.jpg");
    writeFile(photos / "Album.photoslibrary" / "inside.jpg"); // a package is an ordinary folder here
    writeFile(photos / "2024" / "deep" / "IMG_0003.nef");
    std::filesystem::create_directory(photos / "folder.jpg");
    std::filesystem::create_symlink(photos / "IMG_0001.JPG", photos / "link.jpg");
    std::filesystem::create_directory_symlink(photos / "2024", photos / "linked-folder");

    EXPECT_THAT(candidateKeys(photos.path(), true),
                UnorderedElementsAre("IMG_0001.JPG", "b.Heif", "c.dng", "Album.photoslibrary/inside.jpg",
                                     "2024/deep/IMG_0003.nef"));
    EXPECT_THAT(candidateKeys(photos.path(), false), UnorderedElementsAre("IMG_0001.JPG", "b.Heif", "c.dng"));
}

TEST_F(FolderScannerTest, KeysAreNfcAndNamesThatAreNotUtf8CountAsUnreadable) {
    writeFile(photos / "Cafe\xCC\x81" / "A.jpg"); // decomposed é in the folder name
    writeFile(photos / "bad\xFF.jpg");
    writeFile(photos / "bad\xFE" / "inside.jpg");
    const ScanResult result = scan();
    EXPECT_THAT(keysOf(result.photos), ElementsAre("Caf\xC3\xA9/A.jpg"));
    EXPECT_EQ(result.photos[0].url, photos / "Cafe\xCC\x81" / "A.jpg"); // the real path stays for access
    EXPECT_EQ(result.unreadableCount, 2u);
    EXPECT_EQ(fake.calls->load(), 1);
}

TEST_F(FolderScannerTest, TwoSpellingsOfOneNameKeepOnlyOnePhoto) {
    writeFile(photos / "Caf\xC3\xA9.jpg");
    writeFile(photos / "Cafe\xCC\x81.jpg");
    const ScanResult result = scan();
    EXPECT_THAT(keysOf(result.photos), ElementsAre("Caf\xC3\xA9.jpg"));
    EXPECT_EQ(result.unreadableCount, 1u);
}

TEST_F(FolderScannerTest, RefusesAFolderThatIsMissingOrNotAFolder) {
    writeFile(photos / "file.jpg");
    for (const auto& folder : {photos / "missing", photos / "file.jpg"}) {
        for (bool includeSubfolders : {true, false}) {
            try {
                FolderScanner::scan(folder, includeSubfolders, progress.callback(), neverCancelled,
                                    caches.path(), fake.reader());
                ADD_FAILURE() << "no error for " << folder;
            } catch (const FolderScannerError& error) {
                EXPECT_EQ(error.kind(), Kind::inaccessible);
            }
        }
    }
    EXPECT_TRUE(progress.calls.empty());
}

TEST_F(FolderScannerTest, AnEmptyFolderStillWritesAnEmptyCache) {
    const ScanResult result = scan();
    EXPECT_TRUE(result.photos.empty());
    EXPECT_EQ(result.unreadableCount, 0u);
    EXPECT_EQ(result.pairedCount, 0u);
    EXPECT_THAT(progress.calls, ElementsAre(std::pair<std::size_t, std::size_t>{0, 0}));
    const auto cacheFile = FolderScanner::scanCacheURL(photos.path(), caches.path());
    std::ifstream in(cacheFile);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("\"entries\":{}"), std::string::npos) << text;
}

TEST_F(FolderScannerTest, ReportsProgressEveryFiftyFilesAndAtTheEnd) {
    using Calls = std::vector<std::pair<std::size_t, std::size_t>>;
    for (int count : {120, 100}) {
        std::filesystem::remove_all(photos / "set");
        for (int i = 0; i < count; ++i)
            writeFile(photos / "set" / ("IMG_" + std::to_string(i) + ".jpg"));
        progress.calls.clear();
        scan();
        if (count == 120)
            EXPECT_EQ(progress.calls, (Calls{{0, 120}, {50, 120}, {100, 120}, {120, 120}}));
        else
            EXPECT_EQ(progress.calls, (Calls{{0, 100}, {50, 100}, {100, 100}}));
    }
}

TEST_F(FolderScannerTest, CancellingStopsTheFilesThatFollowAndThrows) {
    for (int i = 0; i < 200; ++i)
        writeFile(photos / ("IMG_" + std::to_string(i) + ".jpg"));
    std::atomic<int> asked{0};
    auto cancelAfterTen = [&] { return ++asked > 10; };
    try {
        FolderScanner::scan(photos.path(), true, progress.callback(), cancelAfterTen, caches.path(),
                            fake.reader());
        FAIL() << "no error";
    } catch (const FolderScannerError& error) {
        EXPECT_EQ(error.kind(), Kind::cancelled);
    }
    EXPECT_LE(fake.calls->load(), 10);
    EXPECT_FALSE(std::filesystem::exists(FolderScanner::scanCacheURL(photos.path(), caches.path())));
}

TEST_F(FolderScannerTest, ALongListingStopsWhenCancelled) {
    for (int i = 0; i < 70; ++i)
        writeFile(photos / ("folder_" + std::to_string(i)) / "IMG_1.jpg");
    EXPECT_THROW(
        FolderScanner::scan(
            photos.path(), true, progress.callback(), [] { return true; }, caches.path(), fake.reader()),
        FolderScannerError);
    EXPECT_TRUE(progress.calls.empty());
    EXPECT_EQ(fake.calls->load(), 0);
}

TEST_F(FolderScannerTest, ACancellationAfterTheLastFileStillCancels) {
    for (int i = 0; i < 5; ++i)
        writeFile(photos / ("IMG_" + std::to_string(i) + ".jpg"));
    std::atomic<int> asked{0};
    auto cancelAtTheEnd = [&] { return ++asked > 5; };
    EXPECT_THROW(FolderScanner::scan(photos.path(), true, progress.callback(), cancelAtTheEnd, caches.path(),
                                     fake.reader()),
                 FolderScannerError);
    EXPECT_EQ(fake.calls->load(), 5);
}

TEST_F(FolderScannerTest, AFolderThatDisappearsDuringTheScanIsInaccessibleEvenWhenAlsoCancelled) {
    for (int i = 0; i < 200; ++i)
        writeFile(photos / "set" / ("IMG_" + std::to_string(i) + ".jpg"));
    const auto folder = photos / "set";
    std::atomic<int> read{0};
    std::atomic<bool> cancel{false};
    std::once_flag removal;
    FolderScanner::MetadataReader reader = [&, inner = fake.reader()](const std::filesystem::path& url,
                                                                      const std::string& key) {
        // Every reader waits until the folder is gone.
        if (++read >= 10)
            std::call_once(removal, [&] {
                std::filesystem::remove_all(folder);
                cancel = true; // by the time anyone looks, both flags may be set
            });
        return inner(url, key);
    };
    auto cancelledLate = [&] { return cancel.load() && read.load() > 60; };
    try {
        FolderScanner::scan(folder, true, progress.callback(), cancelledLate, caches.path(), reader);
        FAIL() << "no error";
    } catch (const FolderScannerError& error) {
        EXPECT_EQ(error.kind(), Kind::inaccessible);
    }
    EXPECT_LT(read.load(), 200);
}

TEST_F(FolderScannerTest, ASecondScanReadsOnlyWhatChanged) {
    for (const char* name : {"a.jpg", "b.jpg", "sub/c.nef", "sub/c.jpg"})
        writeFile(photos / name);
    const ScanResult first = scan();
    EXPECT_EQ(fake.calls->load(), 4);
    EXPECT_EQ(first.pairedCount, 1u);
    const auto cacheFile = FolderScanner::scanCacheURL(photos.path(), caches.path());
    const auto cached =
        FolderScanner::loadCache(cacheFile, FolderScanner::standardized(photos.path()).string());
    // The two files of a pair keep entries of their own.
    std::vector<std::string> cachedKeys;
    for (const auto& [key, entry] : cached)
        cachedKeys.push_back(key);
    EXPECT_THAT(cachedKeys, UnorderedElementsAre("a.jpg", "b.jpg", "sub/c.jpg", "sub/c.nef"));

    const ScanResult second = scan();
    EXPECT_EQ(fake.calls->load(), 4); // nothing opened
    EXPECT_EQ(second.photos, first.photos);
    EXPECT_EQ(FolderScanner::loadCache(cacheFile, FolderScanner::standardized(photos.path()).string()),
              cached);

    // A new size, or a new modification time with the same size, is read again.
    writeFile(photos / "a.jpg", "longer");
    std::filesystem::last_write_time(photos / "b.jpg", std::filesystem::last_write_time(photos / "b.jpg") +
                                                           std::chrono::seconds(5));
    std::filesystem::remove(photos / "sub/c.nef");
    const ScanResult third = scan();
    EXPECT_EQ(fake.calls->load(), 6);
    EXPECT_EQ(third.pairedCount, 0u);
    EXPECT_EQ(FolderScanner::loadCache(cacheFile, FolderScanner::standardized(photos.path()).string())
                  .count("sub/c.nef"),
              0u);
}

TEST_F(FolderScannerTest, ACacheFileIsRewrittenOnlyWhenItSaysSomethingElse) {
    writeFile(photos / "a.jpg");
    scan();
    const auto cacheFile = FolderScanner::scanCacheURL(photos.path(), caches.path());
    auto contentOfCache = [&] {
        std::ifstream in(cacheFile, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    const std::string written = contentOfCache();
    struct stat before {};
    ::stat(cacheFile.c_str(), &before);
    scan();
    struct stat after {};
    ::stat(cacheFile.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino); // not replaced
    // A member the reader drops (an invalid entry) is cleaned out by the next scan.
    std::string damaged = written;
    damaged.insert(damaged.find("{\"a.jpg\"") + 1, "\"gone.jpg\":{\"size\":\"1\"},");
    writeFile(cacheFile, damaged);
    scan();
    EXPECT_EQ(contentOfCache(), written);
    EXPECT_EQ(fake.calls->load(), 1);
}

TEST_F(FolderScannerTest, AnUnreadableFileHasNoCacheEntryAndIsReadAgain) {
    writeFile(photos / "good.jpg");
    writeFile(photos / "bad.jpg");
    std::atomic<int> calls{0};
    FolderScanner::MetadataReader reader =
        [&, inner = fake.reader()](const std::filesystem::path& url,
                                   const std::string& key) -> std::optional<Photo> {
        ++calls;
        if (key == "bad.jpg") return std::nullopt;
        return inner(url, key);
    };
    for (int round = 1; round <= 2; ++round) {
        const ScanResult result = FolderScanner::scan(photos.path(), true, progress.callback(),
                                                      neverCancelled, caches.path(), reader);
        EXPECT_THAT(keysOf(result.photos), ElementsAre("good.jpg"));
        EXPECT_EQ(result.unreadableCount, 1u);
    }
    EXPECT_EQ(calls.load(), 3); // good.jpg once, bad.jpg twice
}

TEST_F(FolderScannerTest, ACacheThatCannotBeWrittenDoesNotFailTheScan) {
    writeFile(caches / "Sorvin", "a file where the folder should be");
    writeFile(photos / "a.jpg");
    EXPECT_EQ(scan().photos.size(), 1u);
    EXPECT_EQ(scan().photos.size(), 1u);
    EXPECT_EQ(fake.calls->load(), 2);
}

TEST_F(FolderScannerTest, SubfoldersAreScannedOnlyWhenAsked) {
    writeFile(photos / "top.jpg");
    writeFile(photos / "2024" / "trip.jpg");
    EXPECT_THAT(keysOf(scan(false).photos), ElementsAre("top.jpg"));
    EXPECT_THAT(keysOf(scan(true).photos), UnorderedElementsAre("top.jpg", "2024/trip.jpg"));
}

// The real reader over copies of every sample: the right values for each readable file, nothing
// crashing. A damaged JPEG with an intact header is a photo; a JPEG under another photo name is read
// by its content and keeps the format of its name; files without a readable header give none.
TEST(FolderScannerSamples, ScansEverySampleWithTheRealReader) {
    test::TemporaryFolder photos;
    test::TemporaryFolder caches;
    std::filesystem::copy(test::samplesDir(), photos.path(), std::filesystem::copy_options::recursive);
    ProgressLog progress;
    const ScanResult result =
        FolderScanner::scan(photos.path(), true, progress.callback(), neverCancelled, caches.path());
    // The CRW file has no photo extension of ours.
    EXPECT_EQ(result.unreadableCount, 4u);
    EXPECT_EQ(result.pairedCount, 1u); // the two JPEGs named .heic and .nef
    ASSERT_EQ(result.photos.size(), 46u);
    auto find = [&](const std::string& key) -> const Photo& {
        auto it = std::find_if(result.photos.begin(), result.photos.end(),
                               [&](const Photo& p) { return p.relativePath == key; });
        EXPECT_NE(it, result.photos.end()) << key;
        return *it;
    };
    EXPECT_EQ(find("jpeg/orientation/landscape_0.jpg").orientation, 1); // an invalid tag counts as 1
    EXPECT_EQ(find("jpeg/orientation/portrait_7.jpg").orientation, 7);
    EXPECT_EQ(find("jpeg/nikon_d40_orient6.jpg").orientation, 6);
    const Photo& heif = find("heif/iphonexr_orient6.heic");
    EXPECT_EQ(heif.orientation, 1);
    EXPECT_EQ(std::make_pair(heif.pixelWidth, heif.pixelHeight), std::make_pair(3024, 4032));
    EXPECT_EQ(heif.fileFormat, PhotoFileFormat::heif);
    const Photo& raw = find("raw/nikon_d1.nef");
    EXPECT_EQ(raw.fileFormat, PhotoFileFormat::raw);
    EXPECT_EQ(std::make_pair(raw.pixelWidth, raw.pixelHeight), std::make_pair(2012, 1324));
    const Photo& rw2 = find("raw/constructed_panasonic_rw2_gf1_layout.rw2");
    EXPECT_EQ(std::make_pair(rw2.pixelWidth, rw2.pixelHeight), std::make_pair(2002, 1324));
    EXPECT_EQ(find("corrupt/truncated_10000_bytes.jpg").pixelWidth, 2725);
    const Photo& heifNamed = find("corrupt/jpeg_content_named.heic");
    EXPECT_EQ(heifNamed.fileFormat, PhotoFileFormat::heif);
    EXPECT_EQ(std::make_pair(heifNamed.pixelWidth, heifNamed.pixelHeight), std::make_pair(500, 500));
    EXPECT_EQ(heifNamed.rawCompanionRelativePath, "corrupt/jpeg_content_named.nef");
    EXPECT_EQ(std::make_pair(heifNamed.rawCompanionPixelWidth, heifNamed.rawCompanionPixelHeight),
              std::make_pair(std::optional<int>(2000), std::optional<int>(3008)));
    // Sorted by capture date, the undated ones last; the oldest samples are the Nikon D1's and the
    // files made from it that keep its date.
    EXPECT_THAT(keysOf({result.photos.begin(), result.photos.begin() + 5}),
                UnorderedElementsAre("raw/nikon_d1.nef", "raw/constructed_nikon_compressed_nef_ends_file.nef",
                                     "raw/constructed_olympus_compressed_orf_ends_file.orf",
                                     "raw/constructed_om_system_orf_ends_file.orf",
                                     "raw/constructed_sony_a100_layout_small.arw"));
    const auto firstUndated = std::find_if(result.photos.begin(), result.photos.end(),
                                           [](const Photo& p) { return !p.captureDate; });
    EXPECT_TRUE(
        std::all_of(firstUndated, result.photos.end(), [](const Photo& p) { return !p.captureDate; }));
    EXPECT_EQ(firstUndated - result.photos.begin(), 21);
    // The capture date is the wall-clock time of the EXIF text in the local zone.
    std::tm local{};
    local.tm_year = 2000 - 1900, local.tm_mon = 10, local.tm_mday = 19, local.tm_hour = 13, local.tm_min = 1,
    local.tm_sec = 50, local.tm_isdst = -1;
    EXPECT_EQ(raw.captureDate, std::chrono::system_clock::from_time_t(std::mktime(&local)));
    EXPECT_EQ(progress.calls.back(), (std::pair<std::size_t, std::size_t>{51, 51}));
}

} // namespace
} // namespace sorvin
