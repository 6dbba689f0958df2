#include "library/library_test_support.hpp"
#include "library/photo_library.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using test::libraryPhoto;
using test::makeLibrary;

std::vector<std::string> rowIds(const PhotoLibrary& library) {
    std::vector<std::string> ids;
    for (const PhotoListRow& row : library.visibleRows())
        ids.push_back(row.id());
    return ids;
}

std::vector<Photo> fivePhotos() {
    return {libraryPhoto("a.jpg", 1), libraryPhoto("b.jpg", 2), libraryPhoto("c.jpg", 3),
            libraryPhoto("d.jpg", 4), libraryPhoto("e.jpg", 5)};
}

const ZoomState kZoomed{2, {10, 20}};

TEST(PhotoLibraryNavigation, StepsAreRefusedWholeAtBothEnds) {
    auto library = makeLibrary(fivePhotos());
    EXPECT_FALSE(library->move(-1));
    library->jump(1);
    EXPECT_FALSE(library->move(10));
    EXPECT_EQ(library->cursorIndex(), 1);
    library->jumpToEnd();
    library->setZoomState(kZoomed);
    EXPECT_FALSE(library->move(1));
    EXPECT_EQ(library->cursorIndex(), 4);
    EXPECT_EQ(library->zoomState(), kZoomed);
    EXPECT_TRUE(library->move(0));
    EXPECT_EQ(library->zoomState(), kZoomed);
    EXPECT_TRUE(library->move(-4));
    EXPECT_EQ(library->cursorIndex(), 0);
    EXPECT_EQ(library->zoomState(), ZoomState{});
}

TEST(PhotoLibraryNavigation, CopyRowsFollowTheirPhotoAndJumpsClamp) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["b.jpg"] = {};
    auto library = makeLibrary(fivePhotos(), restored);
    EXPECT_EQ(rowIds(*library),
              (std::vector<std::string>{"a.jpg#a", "b.jpg#a", "b.jpg#b", "c.jpg#a", "d.jpg#a", "e.jpg#a"}));
    library->jump(1);
    ASSERT_TRUE(library->move(1));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"b.jpg", RetouchSlot::b}));
    ASSERT_TRUE(library->move(1));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"c.jpg", RetouchSlot::a}));
    library->jump(-3);
    EXPECT_EQ(library->cursorIndex(), 0);
    library->jump(1000);
    EXPECT_EQ(library->cursorIndex(), 4);

    library->setZoomState(kZoomed);
    EXPECT_TRUE(library->jump("e.jpg", RetouchSlot::a));
    EXPECT_EQ(library->zoomState(), kZoomed); // already current
    EXPECT_FALSE(library->jump("e.jpg", RetouchSlot::b));
    EXPECT_FALSE(library->jump("zzz.jpg", RetouchSlot::a));
}

TEST(PhotoLibraryHearts, CountFollowsEveryToggleCountingEachPhotoOnce) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["a.jpg"] = {};
    restored.hearts = {"a.jpg", "ghost.jpg"};
    auto library = makeLibrary(fivePhotos(), restored);
    EXPECT_EQ(library->heartCount(), 1);
    EXPECT_EQ(library->toggleHeart("a.jpg", RetouchSlot::b), HeartToggleResult::added);
    EXPECT_EQ(library->heartCount(), 1);
    EXPECT_EQ(library->toggleHeart("a.jpg", RetouchSlot::a), HeartToggleResult::removed);
    EXPECT_EQ(library->heartCount(), 1);
    EXPECT_EQ(library->toggleHeart("a.jpg", RetouchSlot::b), HeartToggleResult::removed);
    EXPECT_EQ(library->heartCount(), 0);
    EXPECT_EQ(library->toggleHeart("ghost.jpg", RetouchSlot::a), HeartToggleResult::unchanged);
    EXPECT_TRUE(library->hearts().contains("ghost.jpg"));
    EXPECT_EQ(library->toggleHeart("c.jpg", RetouchSlot::b), HeartToggleResult::unchanged);
    EXPECT_EQ(makeLibrary({})->toggleCurrentHeart(), HeartToggleResult::unchanged);
}

TEST(PhotoLibraryHearts, ChangesAreAnnouncedOnce) {
    auto library = makeLibrary(fivePhotos());
    std::vector<LibraryFields> seen;
    auto connection = library->changed.connect([&](LibraryFields fields) { seen.push_back(fields); });
    library->toggleCurrentHeart();
    library->move(-1); // refused: no announcement
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].contains(LibraryField::hearts));
}

TEST(PhotoLibraryFilter, OnlyHeartedCopyListsItsPhotoOnce) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["c.jpg"].heart = true;
    auto library = makeLibrary(fivePhotos(), restored);
    library->setZoomState(kZoomed);
    ASSERT_TRUE(library->toggleFilter());
    ASSERT_EQ(library->visiblePhotos().size(), 1u);
    EXPECT_EQ(rowIds(*library), std::vector<std::string>{"c.jpg#b"});
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"c.jpg", RetouchSlot::b}));
    EXPECT_EQ(library->zoomState(), ZoomState{});
}

TEST(PhotoLibraryFilter, CursorStaysOnAHeartedRowAndNothingHeartedRefuses) {
    auto library = makeLibrary(fivePhotos());
    library->jump(2);
    library->setZoomState(kZoomed);
    EXPECT_FALSE(library->toggleFilter());
    EXPECT_EQ(library->cursorIndex(), 2);
    EXPECT_EQ(library->zoomState(), kZoomed);

    library->toggleHeart("a.jpg", RetouchSlot::a);
    library->toggleCurrentHeart();
    ASSERT_TRUE(library->toggleFilter());
    EXPECT_EQ(library->currentPhoto()->relativePath, "c.jpg");
    EXPECT_EQ(library->zoomState(), kZoomed);

    // The snapshot keeps an un-hearted row listed.
    library->toggleCurrentHeart();
    EXPECT_EQ(rowIds(*library), (std::vector<std::string>{"a.jpg#a", "c.jpg#a"}));
    ASSERT_TRUE(library->toggleFilter());
    EXPECT_FALSE(library->isFiltered());
    EXPECT_EQ(library->visiblePhotos().size(), 5u);
    EXPECT_EQ(library->currentPhoto()->relativePath, "c.jpg");
}

TEST(PhotoLibraryFilter, DeletingAndRestoringAHeartedCopyKeepsThePhotoListed) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["b.jpg"].heart = true;
    restored.hearts = {"a.jpg", "d.jpg"};
    auto library = makeLibrary(fivePhotos(), restored);
    ASSERT_TRUE(library->toggleFilter());
    EXPECT_EQ(rowIds(*library), (std::vector<std::string>{"a.jpg#a", "b.jpg#b", "d.jpg#a"}));
    ASSERT_TRUE(library->jump("b.jpg", RetouchSlot::b));
    const std::optional<RetouchState> removed = library->deleteCurrentRetouchDuplicate();
    ASSERT_TRUE(removed);
    EXPECT_EQ(rowIds(*library), (std::vector<std::string>{"a.jpg#a", "b.jpg#a", "d.jpg#a"}));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"b.jpg", RetouchSlot::a}));
    EXPECT_EQ(library->heartCount(), 2);

    ASSERT_TRUE(library->restoreRetouchDuplicate(*removed, "b.jpg", true));
    EXPECT_EQ(rowIds(*library), (std::vector<std::string>{"a.jpg#a", "b.jpg#b", "d.jpg#a"}));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"b.jpg", RetouchSlot::b}));
    EXPECT_EQ(library->heartCount(), 3);
}

TEST(PhotoLibraryFilter, JumpsLandOnAListedRowOfThePhoto) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["b.jpg"].heart = true;
    restored.hearts = {"a.jpg"};
    auto library = makeLibrary(fivePhotos(), restored);
    ASSERT_TRUE(library->toggleFilter());
    library->jump(1); // b.jpg: only its copy is listed
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"b.jpg", RetouchSlot::b}));
    EXPECT_TRUE(library->move(-1));
    EXPECT_TRUE(library->jump("b.jpg", RetouchSlot::a));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"b.jpg", RetouchSlot::b}));
    EXPECT_FALSE(library->move(1));
    EXPECT_TRUE(library->move(-1));
}

TEST(PhotoLibraryFilter, LeavingTheFilterKeepsTheCursorOnACopyRow) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["d.jpg"].heart = true;
    auto library = makeLibrary(fivePhotos(), restored);
    ASSERT_TRUE(library->toggleFilter());
    library->disableFilter();
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"d.jpg", RetouchSlot::b}));
    EXPECT_EQ(library->cursorIndex(), 3);
}

TEST(PhotoLibrarySort, SameOrderChangesNothingOtherOrderKeepsTheRow) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["b.jpg"] = {};
    auto library = makeLibrary(fivePhotos(), restored);
    EXPECT_FALSE(library->applySort(PhotoSortKey::date, true));
    EXPECT_EQ(library->sortRevision(), 0);
    ASSERT_TRUE(library->jump("b.jpg", RetouchSlot::b));
    ASSERT_TRUE(library->applySort(PhotoSortKey::date, false));
    EXPECT_EQ(library->sortRevision(), 1);
    EXPECT_EQ(library->photos().front().relativePath, "e.jpg");
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"b.jpg", RetouchSlot::b}));
}

TEST(PhotoLibrarySort, SortingWhileFilteredKeepsTheSameRowsReordered) {
    PhotoLibraryRestoration restored;
    restored.retouchesB["b.jpg"].heart = true;
    restored.hearts = {"b.jpg", "e.jpg"};
    auto library = makeLibrary(fivePhotos(), restored);
    ASSERT_TRUE(library->toggleFilter());
    ASSERT_TRUE(library->applySort(PhotoSortKey::name, false));
    EXPECT_EQ(rowIds(*library), (std::vector<std::string>{"e.jpg#a", "b.jpg#a", "b.jpg#b"}));
}

TEST(PhotoLibrarySort, EveryLookupFollowsThePhotosToTheirNewPlaces) {
    PhotoLibraryRestoration restored;
    restored.hearts = {"a.jpg", "d.jpg"};
    restored.retouchesB["c.jpg"] = {};
    auto library = makeLibrary(fivePhotos(), restored);
    ASSERT_TRUE(library->applySort(PhotoSortKey::date, false));
    for (std::size_t i = 0; i < library->photos().size(); ++i) {
        const std::string& path = library->photos()[i].relativePath;
        ASSERT_EQ(library->photo(path), &library->photos()[i]);
        EXPECT_EQ(library->cachedVisiblePhotoIndex(path), static_cast<int>(i));
    }
    EXPECT_EQ(rowIds(*library),
              (std::vector<std::string>{"e.jpg#a", "d.jpg#a", "c.jpg#a", "c.jpg#b", "b.jpg#a", "a.jpg#a"}));
    library->jumpToStart();
    ASSERT_TRUE(library->move(3));
    EXPECT_EQ(*library->currentCursor(), (RetouchCursor{"c.jpg", RetouchSlot::b}));
    ASSERT_TRUE(library->toggleFilter());
    EXPECT_EQ(rowIds(*library), (std::vector<std::string>{"d.jpg#a", "a.jpg#a"}));
    EXPECT_EQ(library->cachedVisiblePhotoIndex("a.jpg"), 1);
    EXPECT_EQ(library->cachedVisiblePhotoIndex("c.jpg"), std::nullopt);
}

TEST(ZoomState, PanKeepsThePictureOverTheView) {
    ZoomState zoom{1, {30, 30}};
    zoom.pan({100, 100}, {1000, 800}, {1000, 600});
    EXPECT_EQ(zoom.offset, (Size{0, 0}));

    zoom.scale = 2;
    zoom.pan({600, -300}, {1000, 800}, {1000, 600});
    EXPECT_EQ(zoom.offset, (Size{500, -200}));

    ZoomState narrow{1.2, {}};
    narrow.pan({50, 50}, {1000, 800}, {500, 800});
    EXPECT_EQ(narrow.offset.width, 0);
    EXPECT_NEAR(narrow.offset.height, 50, 1e-9);
}

} // namespace
} // namespace sorvin
