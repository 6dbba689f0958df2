#include "model/exif_metadata.hpp"
#include "model/photo.hpp"
#include "model/photo_list_row.hpp"
#include "model/retouch_cursor.hpp"
#include "model/retouch_state.hpp"
#include "platform/localized_text_order.hpp"

#include <gtest/gtest.h>
#include <random>
#include <unordered_set>

namespace sorvin {
namespace {

using namespace std::chrono_literals;

Photo photo(const std::string& relativePath, std::optional<CaptureDate> date = std::nullopt) {
    Photo p;
    p.url = std::filesystem::path("/photos") / relativePath;
    p.relativePath = relativePath;
    p.captureDate = date;
    p.pixelWidth = 6000;
    p.pixelHeight = 4000;
    return p;
}

Photo pair(const std::string& relativePath) {
    Photo p = photo(relativePath);
    p.rawCompanionURL = std::filesystem::path("/photos/DSC_1.NEF");
    p.rawCompanionRelativePath = "DSC_1.NEF";
    p.rawCompanionOrientation = 6;
    p.rawCompanionPixelWidth = 6048;
    p.rawCompanionPixelHeight = 4024;
    return p;
}

std::vector<std::string> paths(const std::vector<Photo>& photos) {
    std::vector<std::string> result;
    for (const Photo& p : photos)
        result.push_back(p.relativePath);
    return result;
}

const CaptureDate kDay = CaptureDate{} + 1'600'000'000s;

TEST(PhotoFileFormat, IsDecidedByTheExtensionInAnyCase) {
    const std::vector<std::pair<std::string, std::optional<PhotoFileFormat>>> cases{
        {"IMG_1.JPG", PhotoFileFormat::jpeg},
        {"a.Jpeg", PhotoFileFormat::jpeg},
        {"b.HIF", PhotoFileFormat::heif},
        {"x.heic", PhotoFileFormat::heif},
        {"c.Dng", PhotoFileFormat::raw},
        {"d/e.CR3", PhotoFileFormat::raw},
        {"a.b.nef", PhotoFileFormat::raw},
        {"d.png", std::nullopt},
        {"e.tif", std::nullopt},
        {"noextension", std::nullopt},
        {"trailingdot.", std::nullopt},
        {".jpg", std::nullopt},
        {"jpg.txt", std::nullopt},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(photoFileFormatFrom(name), expected) << name;
}

TEST(PhotoFileFormat, TextFormsRoundTripAndRefuseOthers) {
    for (PhotoFileFormat format : kAllPhotoFileFormats) {
        EXPECT_EQ(photoFileFormatFromRawValue(rawValue(format)), format);
    }
    EXPECT_EQ(photoFileFormatFromRawValue("JPEG"), std::nullopt);
    EXPECT_EQ(photoSourceFromRawValue("raw"), PhotoSource::raw);
    EXPECT_EQ(photoSourceFromRawValue("heif"), std::nullopt);
    EXPECT_EQ(retouchSlotFromRawValue("b"), RetouchSlot::b);
    EXPECT_EQ(retouchSlotFromRawValue("c"), std::nullopt);
    EXPECT_EQ(photoSortKeyFromRawValue("name"), PhotoSortKey::name);
    EXPECT_EQ(photoSortKeyFromRawValue(""), std::nullopt);
}

TEST(PhotoAsset, RawOfALonePhotoIsItsOwnFile) {
    Photo jpeg = photo("IMG_1.JPG");
    jpeg.orientation = 8;
    const PhotoAsset asset = jpeg.asset(PhotoSource::raw);
    EXPECT_EQ(asset, jpeg.asset(PhotoSource::jpeg));
    EXPECT_EQ(asset.url, jpeg.url);
    EXPECT_EQ(asset.orientation, 8);
    EXPECT_EQ(asset.fileFormat, PhotoFileFormat::jpeg);

    Photo loneRaw = photo("DSC_2.NEF");
    loneRaw.fileFormat = PhotoFileFormat::raw;
    EXPECT_EQ(loneRaw.asset(PhotoSource::raw).fileFormat, PhotoFileFormat::raw);
    EXPECT_FALSE(loneRaw.hasRawCompanion());
}

TEST(PhotoAsset, CompanionGivesItsOwnValuesOrFallsBack) {
    Photo p = pair("DSC_1.JPG");
    EXPECT_EQ(p.asset(PhotoSource::raw),
              (PhotoAsset{"/photos/DSC_1.NEF", "DSC_1.NEF", 6, 6048, 4024, PhotoFileFormat::raw}));

    p.rawCompanionURL = "/photos/sub/DSC_9.NEF";
    p.rawCompanionRelativePath.reset();
    p.rawCompanionOrientation.reset();
    p.rawCompanionPixelWidth.reset();
    p.rawCompanionPixelHeight.reset();
    EXPECT_EQ(p.asset(PhotoSource::raw),
              (PhotoAsset{"/photos/sub/DSC_9.NEF", "DSC_9.NEF", 1, 6000, 4000, PhotoFileFormat::raw}));
}

TEST(Photo, OriginalFilesListTheDisplayFileThenTheCompanion) {
    EXPECT_EQ(photo("a/IMG_1.JPG").originalFiles(),
              (std::vector<Photo::OriginalFile>{{"/photos/a/IMG_1.JPG", "IMG_1.JPG"}}));
    EXPECT_EQ(pair("DSC_1.JPG").originalFiles(),
              (std::vector<Photo::OriginalFile>{{"/photos/DSC_1.JPG", "DSC_1.JPG"},
                                                {"/photos/DSC_1.NEF", "DSC_1.NEF"}}));
}

TEST(Photo, EqualityAndHashCoverEveryField) {
    const Photo base = pair("DSC_1.JPG");
    std::vector<Photo> variants(8, base);
    variants[0].captureDate = kDay;
    variants[1].orientation = 3;
    variants[2].fileFormat = PhotoFileFormat::heif;
    variants[3].rawCompanionURL.reset();
    variants[4].rawCompanionRelativePath = "other.NEF";
    variants[5].rawCompanionOrientation = 1;
    variants[6].rawCompanionPixelHeight = 1;
    variants[7].url = "/elsewhere/DSC_1.JPG";
    std::unordered_set<Photo> set{base};
    for (const Photo& variant : variants) {
        EXPECT_NE(variant, base);
        set.insert(variant);
    }
    EXPECT_EQ(set.size(), variants.size() + 1);
    EXPECT_EQ(std::hash<Photo>{}(base), std::hash<Photo>{}(pair("DSC_1.JPG")));
}

TEST(PhotoListRow, IdentifiersOfTheTwoRowsDifferInTheSlotOnly) {
    const Photo p = photo("trip/IMG_0001.JPG");
    EXPECT_EQ((PhotoListRow{p, RetouchSlot::a}).id(), "trip/IMG_0001.JPG#a");
    EXPECT_EQ((PhotoListRow{p, RetouchSlot::b}).id(), "trip/IMG_0001.JPG#b");
    EXPECT_NE((PhotoListRow{p, RetouchSlot::a}), (PhotoListRow{p, RetouchSlot::b}));
    std::unordered_set<RetouchCursor> cursors{
        {"x", RetouchSlot::a}, {"x", RetouchSlot::b}, {"x", RetouchSlot::a}};
    EXPECT_EQ(cursors.size(), 2u);
}

TEST(PhotoSort, ByDatePutsUndatedLastInBothDirectionsAndBreaksTiesByName) {
    const std::vector<Photo> photos{
        photo("undated/b.jpg"), photo("late.jpg", kDay + 60s), photo("x/IMG_10.JPG", kDay),
        photo("undated/a.jpg"), photo("y/IMG_2.JPG", kDay),    photo("early.jpg", kDay - 60s),
    };
    EXPECT_EQ(paths(Photo::sorted(photos)),
              (std::vector<std::string>{"early.jpg", "y/IMG_2.JPG", "x/IMG_10.JPG", "late.jpg",
                                        "undated/a.jpg", "undated/b.jpg"}));
    EXPECT_EQ(paths(Photo::sorted(photos, PhotoSortKey::date, false)),
              (std::vector<std::string>{"late.jpg", "y/IMG_2.JPG", "x/IMG_10.JPG", "early.jpg",
                                        "undated/a.jpg", "undated/b.jpg"}));
}

TEST(PhotoSort, EqualNamesFallBackToThePathAndEqualPhotosKeepTheirOrder) {
    Photo first = photo("b/IMG_1.JPG", kDay);
    Photo second = photo("a/IMG_1.JPG", kDay);
    EXPECT_EQ(paths(Photo::sorted({first, second}, PhotoSortKey::date, false)),
              (std::vector<std::string>{"a/IMG_1.JPG", "b/IMG_1.JPG"}));

    // Two entries that agree on every key stay as given: the sort is stable.
    Photo twinA = photo("same.jpg");
    Photo twinB = photo("same.jpg");
    twinB.pixelWidth = 1;
    const auto sorted = Photo::sorted({twinB, twinA});
    EXPECT_EQ(sorted[0].pixelWidth, 1);
    EXPECT_EQ(sorted[1].pixelWidth, 6000);
}

// Photos of one burst share their second: their names decide, in the order of the collation
// (runs of digits by value, letters before case), whether or not the names are alike but for digits.
TEST(PhotoSort, PhotosOfOneSecondFollowTheCollationOfTheirNames) {
    const std::vector<std::vector<std::string>> bursts = {
        {"IMG_0100.JPG", "IMG_0099.JPG", "IMG_1000.JPG", "IMG_0101.JPG", "IMG_0009.JPG"},
        {"IMG_0100.JPG", "img_0099.JPG", "IMG_100.JPG", "IMG_0101.jpg", "IMG_0101.HEIC", "DSC_9.JPG"},
        {"a/IMG_1.JPG", "b/IMG_1.JPG", "a10/IMG_1.JPG", "a9/IMG_1.JPG", "a09/IMG_1.JPG"},
    };
    for (const auto& names : bursts) {
        std::vector<Photo> photos;
        for (const std::string& name : names)
            photos.push_back(photo(name, kDay));
        std::vector<std::string> expected = paths(photos);
        std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
            const auto fileName = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
            const auto byName = LocalizedTextOrder::compare(fileName(a), fileName(b));
            return byName != 0 ? byName < 0 : LocalizedTextOrder::compare(a, b) < 0;
        });
        EXPECT_EQ(paths(Photo::sorted(photos)), expected);
    }
}

// Names of every kind a card or a download gives (cases, digit runs of any length, punctuation,
// Japanese), sorted by name and within one second, agree with the collation everywhere.
TEST(PhotoSort, ManyNamesFollowTheCollation) {
    const char* parts[] = {"IMG", "img", "Img",  "_",   "-",    ".",   " ", "0", "00",
                           "1",   "7",   "09",   "10",  "123",  "a",   "B", "b", "Z",
                           "JPG", "jpg", "HEIC", "(1)", "写真", "ｶﾒﾗ", "/"};
    std::mt19937 random(7);
    std::vector<Photo> photos;
    for (int i = 0; i < 400; ++i) {
        std::string name;
        for (int n = 1 + static_cast<int>(random() % 5); n > 0; --n)
            name += parts[random() % std::size(parts)];
        if (name.front() == '/' || name.back() == '/') name = "x" + name + "x";
        photos.push_back(photo(name, kDay));
    }
    const auto expectedBy = [&](auto compare) {
        std::vector<std::string> expected = paths(photos);
        std::stable_sort(expected.begin(), expected.end(), compare);
        return expected;
    };
    const auto fileName = [](const std::string& path) { return path.substr(path.rfind('/') + 1); };
    EXPECT_EQ(paths(Photo::sorted(photos, PhotoSortKey::name, true)),
              expectedBy([](const std::string& a, const std::string& b) {
                  return LocalizedTextOrder::compare(a, b) < 0;
              }));
    EXPECT_EQ(paths(Photo::sorted(photos)), expectedBy([&](const std::string& a, const std::string& b) {
                  const auto byName = LocalizedTextOrder::compare(fileName(a), fileName(b));
                  return byName != 0 ? byName < 0 : LocalizedTextOrder::compare(a, b) < 0;
              }));
}

TEST(PhotoSort, ByNameComparesWholePathsAndDescendingReversesAll) {
    const std::vector<Photo> photos{photo("b/1.jpg"), photo("a/10.jpg"), photo("a/2.jpg"), photo("a/1.jpg")};
    EXPECT_EQ(paths(Photo::sorted(photos, PhotoSortKey::name, true)),
              (std::vector<std::string>{"a/1.jpg", "a/2.jpg", "a/10.jpg", "b/1.jpg"}));
    EXPECT_EQ(paths(Photo::sorted(photos, PhotoSortKey::name, false)),
              (std::vector<std::string>{"b/1.jpg", "a/10.jpg", "a/2.jpg", "a/1.jpg"}));

    Photo twinA = photo("same.jpg");
    Photo twinB = photo("same.jpg");
    twinB.pixelWidth = 1;
    const auto descending = Photo::sorted({twinA, twinB}, PhotoSortKey::name, false);
    EXPECT_EQ(descending[0].pixelWidth, 1); // ties reverse too
}

TEST(ExifMetadata, EqualityCoversEveryField) {
    ExifMetadata a;
    a.fileName = "IMG_1.JPG";
    ExifMetadata b = a;
    EXPECT_EQ(a, b);
    b.lensSpecification = std::vector<double>{24, 70, 2.8, 2.8};
    EXPECT_NE(a, b);
    b = a;
    b.fileSize = 0;
    EXPECT_NE(a, b);
}

TEST(RetouchState, EqualityCoversEveryField) {
    const RetouchState base;
    std::vector<RetouchState> variants(6, base);
    variants[0].heart = true;
    variants[1].source = PhotoSource::raw;
    variants[2].rotation = -0.5;
    variants[3].crop.sizeP = 50;
    variants[4].masks.push_back(MaskKind::circular());
    variants[5].paramsRaw = PhotoParameters(std::vector<MaskKind>{MaskKind::linear()});
    for (const RetouchState& variant : variants)
        EXPECT_NE(variant, base);
    EXPECT_EQ(base, RetouchState{});
}

} // namespace
} // namespace sorvin
