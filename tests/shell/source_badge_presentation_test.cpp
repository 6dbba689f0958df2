#include "shell/file_list_row_model.hpp"
#include "shell/source_badge_presentation.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

Photo photo(const char* main, const char* raw = nullptr) {
    Photo p;
    p.url = std::filesystem::path("/photos") / main;
    p.relativePath = main;
    if (raw) {
        p.rawCompanionURL = std::filesystem::path("/photos") / raw;
        p.rawCompanionRelativePath = raw;
    }
    return p;
}

FileListRowModel rowOf(const Photo& p, RetouchSlot slot) {
    FileListRowModel row;
    row.photo = p;
    row.slot = slot;
    return row;
}

struct PairCase {
    const char* main;
    const char* raw;
    const char* baseName;
    const char* jpegText;
    const char* rawText;
    const char* copyName;
};

TEST(SourceBadgePresentationTest, PairsNameTheirFilesByUpperCasedExtensions) {
    const PairCase cases[] = {
        {"IMG_0001.JPG", "IMG_0001.CR3", "IMG_0001", "JPG", "CR3", "IMG_0001-B.JPG"},
        {"img_0001.jpeg", "img_0001.arw", "img_0001", "JPEG", "ARW", "img_0001-B.jpeg"},
        {"DSC01.HEIC", "DSC01.ARW", "DSC01", "HEIC", "ARW", "DSC01-B.HEIC"},
        {"a.b.JPG", "a.b.nef", "a.b", "JPG", "NEF", "a.b-B.JPG"},
        {"straße.jpg", "straße.dng", "straße", "JPG", "DNG", "straße-B.jpg"},
    };
    for (const auto& c : cases) {
        const Photo p = photo(c.main, c.raw);
        const auto list = FileListSourcePresentation::make(p);
        ASSERT_TRUE(list) << c.main;
        EXPECT_EQ(*list, (FileListSourcePresentation{c.baseName, c.jpegText, c.rawText}));
        EXPECT_EQ(FileListLayout::retouchDuplicateFileName(p), c.copyName);
        EXPECT_EQ(PhotoAreaSourceBadgePresentation::make(p, PhotoSource::jpeg),
                  (PhotoAreaSourceBadgePresentation{c.jpegText, PhotoAreaSourceBadgeVisualState::jpeg}));
        EXPECT_EQ(PhotoAreaSourceBadgePresentation::make(p, PhotoSource::raw),
                  (PhotoAreaSourceBadgePresentation{c.rawText, PhotoAreaSourceBadgeVisualState::raw}));
    }
    EXPECT_EQ(FileNameParts::badgeText("/x/photo.éxt"), "ÉXT");
}

TEST(SourceBadgePresentationTest, LonePhotosHaveNoBadgesAndKeepTheirFullName) {
    for (const char* name : {"DSC_1234.JPG", "IMG.HEIC", "DSC_0001.NEF"}) {
        const Photo p = photo(name);
        EXPECT_FALSE(FileListSourcePresentation::make(p));
        EXPECT_FALSE(PhotoAreaSourceBadgePresentation::make(p, PhotoSource::raw));
        EXPECT_EQ(rowOf(p, RetouchSlot::a).nameText(), name);
    }
    EXPECT_EQ(FileListLayout::retouchDuplicateFileName(photo("DSC_1234.JPG")), "DSC_1234-B.JPG");
    EXPECT_EQ(FileListLayout::retouchDuplicateFileName(photo("README")), "README-B");
}

TEST(FileListRowModelTest, NamesColoursAndBadgeStatesFollowTheRow) {
    const Photo pair = photo("IMG_0001.JPG", "IMG_0001.CR3");
    FileListRowModel a = rowOf(pair, RetouchSlot::a);
    FileListRowModel b = rowOf(pair, RetouchSlot::b);
    EXPECT_EQ(a.nameText(), "IMG_0001");
    EXPECT_EQ(b.nameText(), "IMG_0001-B.JPG");
    EXPECT_EQ(b.leadingInset() - a.leadingInset(), FileListRowModel::kCopyIndent);
    EXPECT_FALSE(a.showsDeleteButton(true));
    EXPECT_TRUE(b.showsDeleteButton(true));
    EXPECT_FALSE(b.showsDeleteButton(false));

    // Name colour: a copy B is always in the text colour, never white.
    b.isCurrent = true;
    EXPECT_EQ(b.nameColor(), ViewPalette::text);
    a.isCurrent = true;
    EXPECT_EQ(a.nameColor(), ViewPalette::white);
    a.isCurrent = false;
    EXPECT_EQ(a.nameColor(), ViewPalette::secondaryText);
    a.hasHeart = true;
    EXPECT_EQ(a.nameColor(), ViewPalette::text);

    // Heart and background.
    EXPECT_EQ(a.heartColor(), ViewPalette::accent);
    a.hasHeart = false;
    EXPECT_EQ(a.heartColor(), ViewPalette::darkGrey);
    EXPECT_EQ(a.background(false), ViewPalette::clear);
    EXPECT_EQ(a.background(true), ViewPalette::white.withOpacity(0.08));
    a.isCurrent = true;
    EXPECT_EQ(a.heartColor(), ViewPalette::dimmedGrey);
    EXPECT_EQ(a.background(true), ViewPalette::accent.withOpacity(0.25));

    a.source = PhotoSource::raw;
    EXPECT_EQ(a.badgeState(PhotoSource::raw), SourceBadgeVisualState::selected);
    EXPECT_EQ(a.badgeState(PhotoSource::jpeg), SourceBadgeVisualState::unselected);
}

} // namespace
} // namespace sorvin
