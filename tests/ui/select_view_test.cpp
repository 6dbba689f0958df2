#include "persistence/selection_store.hpp"
#include "platform/atomic_file.hpp"
#include "shell/quit_confirmation.hpp"
#include "ui/app/menu_bar.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/command_cheat_sheet_view.hpp"
#include "ui/browsing/exif_panel_view.hpp"
#include "ui/browsing/file_list_panel.hpp"
#include "ui/browsing/panel_resize_handle.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/browsing/top_bar_view.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/canvas/mask_addition_sheet.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_preset_organizer_sheet.hpp"
#include "ui/panel/parameter_preset_save_sheet.hpp"
#include "ui/panel/parameter_slot_column_view.hpp"
#include "ui/panel/vertical_parameter_slider.hpp"
#include "ui_test_fixture.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <cstdio>
#include <fmt/format.h>
#include <fstream>

namespace sorvin::test {
namespace {

class SelectViewTest : public MainWindowTest {
protected:
    SelectView& view() { return *window().rootView()->selectView(); }

    void openBrowsing() {
        addStandardPhotos();
        window().resize(1400, 900);
        window().show();
        openPhotos();
        ASSERT_TRUE(view().isVisible());
        redraw();
    }
    // Lets the widgets take in what the state published.
    void redraw() {
        QApplication::processEvents();
        queue.runPending();
        QApplication::processEvents();
    }
    std::vector<FileListRowModel> rows() {
        std::vector<FileListRowModel> all;
        FileListModel* model = view().fileList()->model();
        for (int i = 0; i < model->rowCount(); ++i)
            all.push_back(*model->row(i));
        return all;
    }
    // The row of the photo with a RAW file (a.jpg with a.nef among the standard photos).
    int pairRow() {
        const auto all = rows();
        const auto pair = std::find_if(all.begin(), all.end(), [](const auto& r) { return r.photo.hasRawCompanion(); });
        EXPECT_NE(pair, all.end());
        return int(pair - all.begin());
    }
    // Where a part of the row at this index is drawn, with the pointer over the row.
    FileListRowGeometry rowGeometry(int index) {
        FileListModel* model = view().fileList()->model();
        return view().fileList()->list()->rowGeometry(*model->row(index), model->index(index), true);
    }
    // The pointer moves to a point of the list and clicks there.
    void clickList(QPointF at) {
        FileListView* list = view().fileList()->list();
        for (QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, list->viewport()->mapToGlobal(at),
                              type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    }
};

TEST_F(SelectViewTest, TheScreenShowsTheLibraryInEveryPart) {
    openBrowsing();
    // a.jpg with a.nef is one photo; b.jpg and c.jpg stand alone.
    const auto list = rows();
    ASSERT_EQ(list.size(), 3u);
    int current = 0;
    for (const auto& row : list) {
        current += row.isCurrent;
        EXPECT_FALSE(row.hasHeart);
    }
    EXPECT_EQ(current, 1);
    EXPECT_EQ(view().topBar()->bar().fileName, std::filesystem::path(currentPath()).filename().string());
    EXPECT_EQ(view().bottomBar()->counterText(), QStringLiteral("1 / 3   ♥ 0"));
    EXPECT_FALSE(view().bottomBar()->batchExportButton()->isEnabled());
    EXPECT_EQ(view().bottomBar()->slider()->maximum(), 2);
}

TEST_F(SelectViewTest, AHeartShowsInItsRowTheTopBarAndTheCounter) {
    openBrowsing();
    state().toggleHeart();
    redraw();
    const auto list = rows();
    const auto hearted = std::find_if(list.begin(), list.end(), [](const auto& r) { return r.hasHeart; });
    ASSERT_NE(hearted, list.end());
    EXPECT_TRUE(hearted->isCurrent);
    EXPECT_TRUE(view().topBar()->bar().hasHeart);
    EXPECT_EQ(view().bottomBar()->counterText(), QStringLiteral("1 / 3   ♥ 1"));
    EXPECT_EQ(view().bottomBar()->batchExportButton()->text(), QStringLiteral("♥1枚を書き出す"));
    EXPECT_TRUE(view().bottomBar()->batchExportButton()->isEnabled());
}

TEST_F(SelectViewTest, ClickingARowMovesTheCursorOnTheNextTurn) {
    openBrowsing();
    const auto list = rows();
    const std::string before = currentPath();
    view().fileList()->list()->rowClicked(list[2]);
    EXPECT_EQ(currentPath(), before);
    queue.runPending();
    EXPECT_EQ(currentPath(), list[2].photo.relativePath);
    redraw();
    EXPECT_EQ(view().bottomBar()->slider()->value(), 2);
}

TEST_F(SelectViewTest, TheDeleteButtonOfACopyBDeletesOnlyThatCopy) {
    openBrowsing();
    state().jump("a.jpg", RetouchSlot::a);
    state().createRetouchDuplicate();
    state().jump("b.jpg", RetouchSlot::a);
    state().createRetouchDuplicate();
    state().toggleHeart(); // the cursor stays on b.jpg's copy B, hearted
    redraw();
    const auto clickDeleteOf = [&](const std::string& path) {
        const auto all = rows();
        const auto row = std::find_if(all.begin(), all.end(), [&](const FileListRowModel& r) {
            return r.photo.relativePath == path && r.slot == RetouchSlot::b;
        });
        ASSERT_NE(row, all.end());
        clickList(rowGeometry(int(row - all.begin())).deleteButton.center());
    };

    // The list shows only hearted rows before the deferred delete runs: a.jpg's copy is gone from
    // it, the jump to it is refused, and the copy under the cursor is not deleted in its place.
    clickDeleteOf("a.jpg");
    window().menus()->action(MenuCommand::heartsOnly)->trigger();
    queue.runPending();
    EXPECT_NE(state().library()->retouchStateB("a.jpg"), nullptr);
    EXPECT_NE(state().library()->retouchStateB("b.jpg"), nullptr);

    window().menus()->action(MenuCommand::heartsOnly)->trigger();
    redraw();
    clickDeleteOf("a.jpg");
    queue.runPending();
    EXPECT_EQ(state().library()->retouchStateB("a.jpg"), nullptr);
    EXPECT_NE(state().library()->retouchStateB("b.jpg"), nullptr);
}

// A click on a row's RAW badge ends the value being typed at once and, on the next turn, shows
// that photo from its RAW file, as one undo step.
TEST_F(SelectViewTest, AClickOnARowsSourceBadgeShowsThatPhotoFromThatFile) {
    openBrowsing();
    activate();
    const int index = pairRow();
    const Photo pair = rows().at(std::size_t(index)).photo;
    if (rows()[std::size_t(index)].isCurrent) press(&window(), Qt::Key_Down);
    ASSERT_NE(currentPath(), pair.relativePath);
    const auto pairSource = [&] { return state().library()->source(pair, RetouchSlot::a); };
    view().inputFocus().set(AdjustmentInputField::rotation());

    clickList(rowGeometry(index).rawBadge.center());
    EXPECT_FALSE(view().inputFocus().isFocused());
    EXPECT_FALSE(state().adjustmentInputIsFocused());
    EXPECT_EQ(pairSource(), PhotoSource::jpeg);
    queue.runPending();
    EXPECT_EQ(currentPath(), pair.relativePath);
    EXPECT_EQ(pairSource(), PhotoSource::raw);
    redraw();
    EXPECT_EQ(rows()[std::size_t(index)].badgeState(PhotoSource::raw), SourceBadgeVisualState::selected);

    type(&window(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pairSource(), PhotoSource::jpeg);
}

TEST_F(SelectViewTest, ThePairedPhotoNamesItsFilesAndItsCopyB) {
    openBrowsing();
    state().jump("a.jpg", RetouchSlot::a);
    state().createRetouchDuplicate();
    redraw();
    const auto list = rows();
    std::vector<std::string> names;
    for (const auto& row : list)
        names.push_back(row.nameText());
    EXPECT_NE(std::find(names.begin(), names.end(), "a"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "a-B.jpg"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "b.jpg"), names.end());
}

TEST_F(SelectViewTest, HoldingCtrlShowsTheCheatSheetAfterAFifthOfASecond) {
    openBrowsing();
    press(&window(), Qt::Key_Control, Qt::NoModifier);
    queue.advance(0.1);
    redraw();
    EXPECT_EQ(view().visibleCheatSheet(), nullptr);
    queue.advance(0.15);
    redraw();
    ASSERT_NE(view().visibleCheatSheet(), nullptr);
    // In the bottom panel while it is open, with the fixed labels.
    EXPECT_EQ(view().visibleCheatSheet()->parentWidget(), view().bottomPanel());
    EXPECT_EQ(view().visibleCheatSheet()->visibleLabels().at("Q"), "終了");
    release(&window(), Qt::Key_Control, Qt::ControlModifier);
    redraw();
    EXPECT_EQ(view().visibleCheatSheet(), nullptr);

    // With the bottom panel collapsed it lies over the photo.
    state().setBottomPanelCollapsed(true);
    press(&window(), Qt::Key_Control, Qt::NoModifier);
    queue.advance(0.3);
    redraw();
    ASSERT_NE(view().visibleCheatSheet(), nullptr);
    EXPECT_NE(view().visibleCheatSheet()->parentWidget(), view().bottomPanel());
}

TEST_F(SelectViewTest, CollapsingThePanelsRemovesThem) {
    openBrowsing();
    EXPECT_TRUE(view().exifPanel()->isVisible());
    state().togglePanels();
    redraw();
    EXPECT_FALSE(view().exifPanel()->isVisible());
    EXPECT_FALSE(view().bottomPanel()->isVisible());
    state().togglePanels();
    redraw();
    EXPECT_TRUE(view().exifPanel()->isVisible());
    EXPECT_TRUE(view().bottomPanel()->isVisible());
}

// Collects what a widget repaints.
class PaintedRegion : public QObject {
public:
    QRegion painted;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
        return QObject::eventFilter(watched, event);
    }
};

TEST_F(SelectViewTest, ListRowsWhoseLookChangedAreRedrawnAndNothingElse) {
    openBrowsing();
    FileListView* list = view().fileList()->list();
    PaintedRegion region;
    list->viewport()->installEventFilter(&region);
    const auto rowRect = [&](int row) { return list->visualRect(view().fileList()->model()->index(row, 0)); };
    ASSERT_LT(rowRect(2).bottom(), list->viewport()->height() - 1); // empty space below the rows
    // The window finishes laying itself out over the turns of the event loop after opening: the
    // list is left until it has painted nothing for a while, however busy the machine.
    for (int wait = 0; wait < 100; ++wait) {
        region.painted = {};
        QTest::qWait(50);
        if (region.painted.isEmpty()) break;
    }
    // The window system paints on its next frame; whatever the list painted besides the rows asked
    // for (other rows, the empty space below them) is reported.
    const auto repaintedOnly = [&](std::initializer_list<int> rows) -> std::string {
        redraw();
        QRegion changed;
        for (int row : rows)
            changed += rowRect(row).intersected(list->viewport()->rect());
        const bool all = QTest::qWaitFor([&] { return (changed - region.painted).isEmpty(); });
        redraw();
        std::string extra;
        for (const QRect& rect : region.painted - changed)
            extra.append(" ").append(std::to_string(rect.y())).append("+").append(
                std::to_string(rect.height()));
        region.painted = {};
        return all ? extra : "rows not repainted";
    };
    press(&window(), Qt::Key_Space); // a heart
    release(&window(), Qt::Key_Space);
    EXPECT_EQ(repaintedOnly({0}), "");
    press(&window(), Qt::Key_Down);
    release(&window(), Qt::Key_Down);
    EXPECT_EQ(repaintedOnly({0, 1}), ""); // the current row moved
    press(&window(), Qt::Key_Right);      // a rotation badge
    release(&window(), Qt::Key_Right);
    EXPECT_EQ(repaintedOnly({1}), "");
}

// The mask bar is refreshed on every change of the state; its buttons are repainted only when their
// look changes, not at each step through the photos.
TEST_F(SelectViewTest, StepsRepaintNothingOfTheMaskBarWhoseLookStaysTheSame) {
    openBrowsing();
    PaintedRegion region;
    for (QPushButton* button : view().maskTabs()->findChildren<QPushButton*>())
        button->installEventFilter(&region);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        region.painted = {};
        QTest::qWait(50);
        return region.painted.isEmpty();
    }));
    for (int step = 0; step < 2; ++step) {
        press(&window(), Qt::Key_Down);
        release(&window(), Qt::Key_Down);
        redraw();
        QTest::qWait(50);
    }
    EXPECT_TRUE(region.painted.isEmpty()) << region.painted.boundingRect().width();
}

// Each photo's EXIF values are the ones on screen, whichever photo came before.
TEST_F(SelectViewTest, TheExifPanelShowsTheValuesOfEachPhotoReached) {
    openBrowsing();
    const ExifPanelView* panel = view().exifPanel();
    for (int step = 0; step < 3; ++step) {
        settle();
        redraw();
        QStringList shown;
        for (const QLabel* label : panel->findChildren<QLabel*>())
            if (label->isVisibleTo(panel)) shown << label->text();
        int values = 0;
        for (const auto& group : panel->model().groups)
            for (const ExifPanelRow& row : group) {
                EXPECT_TRUE(shown.contains(QString::fromStdString(row.value))) << row.label << " " << step;
                values += row.value != ExifPanelModel::kDash;
            }
        EXPECT_GT(values, 3) << step;
        state().move(1);
    }
}

TEST_F(SelectViewTest, ExifCheckboxesChangeTheCopySelectionOnce) {
    openBrowsing();
    QCheckBox* rotation = view().exifPanel()->checkbox(ExifCopyField::rotation);
    ASSERT_NE(rotation, nullptr);
    EXPECT_FALSE(rotation->isChecked());
    rotation->setChecked(true);
    EXPECT_TRUE(state().exifCopySelection().contains(ExifCopyField::rotation));
    redraw();
    // The rebuilt row agrees with the selection and leaves it as it is.
    QCheckBox* again = view().exifPanel()->checkbox(ExifCopyField::rotation);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->isChecked());
    EXPECT_TRUE(state().exifCopySelection().contains(ExifCopyField::rotation));
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

TEST_F(SelectViewTest, BarButtonsEndTypedInputFirstAndRunOnTheNextTurn) {
    openBrowsing();
    state().toggleHeart();
    redraw();
    view().inputFocus().set(AdjustmentInputField::rotation());
    ASSERT_TRUE(state().adjustmentInputIsFocused());
    view().bottomBar()->batchExportButton()->click();
    EXPECT_FALSE(state().adjustmentInputIsFocused());
    EXPECT_FALSE(view().inputFocus().isFocused());
    EXPECT_FALSE(state().isExportPresented());
    queue.runPending();
    EXPECT_TRUE(state().isExportPresented());
}

TEST_F(SelectViewTest, TheFilterButtonActsAtOnceAndOnlyWithHearts) {
    openBrowsing();
    EXPECT_FALSE(view().bottomBar()->filterButton()->isEnabled());
    state().toggleHeart();
    redraw();
    view().bottomBar()->filterButton()->click();
    EXPECT_TRUE(state().library()->isFiltered());
    redraw();
    EXPECT_EQ(view().bottomBar()->filterButton()->text(), QStringLiteral("すべて表示"));
    EXPECT_EQ(view().bottomBar()->counterText(), QStringLiteral("[絞り込み] 1 / 1   ♥ 1"));
    EXPECT_EQ(rows().size(), 1u);
}

TEST_F(SelectViewTest, SortButtonsSwitchKeyAndDirection) {
    openBrowsing();
    const PhotoSortKey before = state().sortKey();
    view().fileList()->sortKeyButton()->click();
    EXPECT_NE(state().sortKey(), before);
    const bool ascending = state().sortAscending();
    view().fileList()->sortDirectionButton()->click();
    EXPECT_NE(state().sortAscending(), ascending);
    redraw();
    EXPECT_EQ(view().fileList()->sortDirectionButton()->text(),
              state().sortAscending() ? QStringLiteral("↑") : QStringLiteral("↓"));
}

TEST(PanelResizeHandleTest, DragsFromTheStartValueAndDoubleClickResets) {
    application();
    double width = 300;
    QWidget host;
    PanelResizeHandle handle(
        PanelResizeAxis::rightPanel, [&] { return width; }, [&](double value) { width = value; }, &host);
    handle.setGeometry(0, 0, 6, 400);
    const auto mouse = [&](QEvent::Type type, double x, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(3, 10), QPointF(x, 10), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&handle, &event);
    };
    mouse(QEvent::MouseButtonPress, 1000, Qt::LeftButton);
    mouse(QEvent::MouseMove, 500, Qt::LeftButton); // far to the left
    EXPECT_EQ(width, 520);
    mouse(QEvent::MouseMove, 770, Qt::LeftButton); // back, but not yet past where it reached 520
    EXPECT_EQ(width, 520);
    mouse(QEvent::MouseMove, 800, Qt::LeftButton);
    EXPECT_EQ(width, 500);
    mouse(QEvent::MouseButtonRelease, 800, Qt::NoButton);
    QMouseEvent twice(QEvent::MouseButtonDblClick, QPointF(3, 10), QPointF(800, 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&handle, &twice);
    EXPECT_EQ(width, 280);
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

TEST_F(SelectViewTest, TheListBringsTheCurrentRowIntoViewOnlyWhenItIsOffScreen) {
    for (int i = 0; i < 60; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%02d.jpg", i);
        addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", name);
    }
    window().resize(1400, 900);
    window().show();
    openPhotos();
    redraw();
    FileListPanel* list = view().fileList();
    const auto currentID = [&] { return *FileListPanelModel::currentRowID(*state().library()); };
    ASSERT_TRUE(list->isRowVisible(currentID()));
    const int top = list->list()->verticalScrollBar()->value();
    const auto settleList = [&] {
        redraw();
        queue.advance(0.2);
        redraw();
    };

    // A row off screen is brought into view, centred.
    state().jump(30);
    settleList();
    ASSERT_TRUE(list->isRowVisible(currentID()));
    const int middle = list->list()->verticalScrollBar()->value();
    EXPECT_GT(middle, top);

    // A step to a row already on screen scrolls nothing.
    state().move(1);
    settleList();
    EXPECT_EQ(list->list()->verticalScrollBar()->value(), middle);

    state().jumpToEnd();
    settleList();
    EXPECT_TRUE(list->isRowVisible(currentID()));
    EXPECT_GT(list->list()->verticalScrollBar()->value(), middle);
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// How the list comes to have a scroll bar, or none.
struct ListLength {
    const char* name;
    int morePhotos;    // besides the pair, b.jpg and c.jpg
    int openedHeight;  // of the window when the folder opens
    int clickedHeight; // of the window when the rows are clicked
    bool scrolls;      // the list shows a scroll bar then
};
void PrintTo(const ListLength& length, std::ostream* out) {
    *out << length.name;
}

class FileListClickTest : public SelectViewTest, public ::testing::WithParamInterface<ListLength> {
protected:
    struct DrawnRow {
        QRectF selectedBadge;
        QRectF unselectedBadge;
        QRectF deleteButton; // empty unless drawn
        int deleteLightness = 0;
    };
    // Where the list draws the parts of a row, read off the screen: the source badges are filled
    // with the accent colour (in use) and the separator colour; the copy B's ⊗ is the light
    // drawing right of them.
    DrawnRow drawnRow(int index) {
        FileListView* list = view().fileList()->list();
        redraw();
        const QRect row =
            list->visualRect(list->model()->index(index, 0)).intersected(list->viewport()->rect());
        const QImage image = window()
                                 .grab(QRect(list->viewport()->mapTo(&window(), row.topLeft()), row.size()))
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        const double scale = image.devicePixelRatio();
        const auto toList = [&](const QRect& pixels) {
            return QRectF(row.left() + pixels.left() / scale, row.top() + pixels.top() / scale,
                          pixels.width() / scale, pixels.height() / scale);
        };
        // A badge's columns hold its colour above and below the text; a text's edge in that colour
        // is a pixel or two.
        const auto badge = [&](ViewColor color) {
            const QColor fill = toQColor(color);
            QRect found;
            for (int x = 0; x < image.width(); ++x) {
                QRect column;
                for (int y = 0; y < image.height(); ++y)
                    if (image.pixelColor(x, y) == fill) column |= QRect(x, y, 1, 1);
                if (column.height() >= int(4 * scale)) found |= column;
            }
            return toList(found);
        };
        DrawnRow drawn{badge(ViewPalette::accent), badge(ViewPalette::separator), {}};
        const int from =
            int((std::max(drawn.selectedBadge.right(), drawn.unselectedBadge.right()) - row.left()) * scale);
        QRect mark;
        for (int x = from + 1; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (const int green = image.pixelColor(x, y).green(); green > 100) {
                    mark |= QRect(x, y, 1, 1);
                    drawn.deleteLightness = std::max(drawn.deleteLightness, green);
                }
        drawn.deleteButton = toList(mark);
        return drawn;
    }
};

// The ⊗ of a copy B and the source badges of a pair answer the pointer where they are drawn, with
// and without the scroll bar that narrows the drawn rows, after a resize brings it, and on rows the
// wheel moves under a pointer that stays put.
TEST_P(FileListClickTest, TheDeleteButtonAndTheSourceBadgesAnswerWhereTheyAreDrawn) {
    const ListLength length = GetParam();
    // A name long enough to be cut short, so that the badges move with the row's width.
    const std::string pair = "a_long_name_of_a_holiday_photo_0001.jpg";
    addPhoto("jpeg/nikon_d70s_gps_lens.jpg", pair);
    addPhoto("raw/nikon_d1.nef", "a_long_name_of_a_holiday_photo_0001.nef");
    addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", "b.jpg");
    addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", "c.jpg");
    for (int i = 0; i < length.morePhotos; ++i)
        addPhoto("jpeg/canon_6d_adobergb_gps_lens.jpg", fmt::format("p{}.jpg", 100 + i));
    window().resize(1400, length.openedHeight);
    window().show();
    openPhotos();
    state().jump(pair, RetouchSlot::a);
    state().createRetouchDuplicate();
    redraw();
    window().resize(1400, length.clickedHeight);
    redraw();
    FileListView* list = view().fileList()->list();
    ASSERT_EQ(list->verticalScrollBar()->isVisible(), length.scrolls);
    const int own = pairRow();
    ASSERT_EQ(rows().at(std::size_t(own) + 1).slot, RetouchSlot::b);
    const auto source = [&] {
        return state().library()->source(*state().library()->photo(pair), RetouchSlot::a);
    };
    const auto click = [&](QPointF at) {
        QTest::mouseMove(list->viewport(), at.toPoint());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at.toPoint());
        queue.runPending();
    };

    // The RAW badge, then the JPEG badge; the pointing hand shows over them.
    const DrawnRow drawn = drawnRow(own);
    const QRectF jpeg = drawn.selectedBadge;
    const QRectF raw = drawn.unselectedBadge;
    ASSERT_LT(jpeg.right(), raw.left());
    QTest::mouseMove(list->viewport(), raw.center().toPoint());
    EXPECT_EQ(list->viewport()->cursor().shape(), Qt::PointingHandCursor);
    click(raw.center());
    EXPECT_EQ(source(), PhotoSource::raw);
    EXPECT_EQ(drawnRow(own).selectedBadge, raw);
    click(jpeg.center());
    EXPECT_EQ(source(), PhotoSource::jpeg);

    // The ⊗ shows over the copy B under the pointer and lights up under it; a click deletes the copy.
    QTest::mouseMove(list->viewport(), list->visualRect(list->model()->index(own + 1, 0)).center());
    const DrawnRow copy = drawnRow(own + 1);
    const QRectF cross = copy.deleteButton;
    ASSERT_FALSE(cross.isEmpty());
    QTest::mouseMove(list->viewport(), cross.center().toPoint());
    EXPECT_GT(drawnRow(own + 1).deleteLightness, copy.deleteLightness);
    click(cross.center());
    EXPECT_EQ(state().library()->retouchStateB(pair), nullptr);

    // A turn of the wheel brings another row under the pointer, and that row is drawn hovered; with
    // the pointer on the scroll bar, none is.
    const QPoint at = cross.center().toPoint();
    const auto rowIsPlainAt = [&] {
        redraw();
        const QPoint left(2, at.y());
        const QImage shot =
            window().grab(QRect(list->viewport()->mapTo(&window(), left), QSize(1, 1))).toImage();
        return shot.pixelColor(0, 0) == toQColor(ViewPalette::sidePanel);
    };
    const QModelIndex before = list->indexAt(at);
    QWheelEvent wheel(at, list->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(list->viewport(), &wheel);
    EXPECT_FALSE(rowIsPlainAt());
    if (length.scrolls) {
        ASSERT_NE(list->indexAt(at), before);
        QTest::mouseMove(list->verticalScrollBar(), list->verticalScrollBar()->rect().center());
        EXPECT_TRUE(rowIsPlainAt());
    }
}

INSTANTIATE_TEST_SUITE_P(ListLengths, FileListClickTest,
                         ::testing::Values(ListLength{"short", 0, 900, 900, false},
                                           ListLength{"long", 40, 900, 900, true},
                                           ListLength{"shrunk", 26, 1200, 900, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// The knob of the position slider stands where the cursor is: on a folder opened with its record,
// after the filter goes on and off, and a click on the knob where it is drawn keeps the photo.
TEST_F(SelectViewTest, TheSliderKnobStandsOnTheCursor) {
    for (const char* name : {"p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg"})
        addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", name);
    // An earlier session hearted the first and the fourth photo and left the cursor on the fourth.
    openPhotos();
    state().toggleHeart();
    state().move(3);
    state().toggleHeart();
    state().saveNow();
    settle();
    destroyState();

    window().show();
    activate();
    folderPanel.answer = photos();
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    settle();
    redraw();
    QSlider* slider = view().bottomBar()->slider();
    const auto expectKnobOnCursor = [&](const char* counter, int index, const char* when) {
        EXPECT_EQ(view().bottomBar()->counterText().toStdString(), counter) << when;
        EXPECT_EQ(slider->value(), index) << when;
        EXPECT_EQ(slider->sliderPosition(), index) << when;
    };
    expectKnobOnCursor("4 / 5   ♥ 2", 3, "opened");

    type(&window(), Qt::Key_F, Qt::ControlModifier);
    redraw();
    expectKnobOnCursor("[絞り込み] 2 / 2   ♥ 2", 1, "filtered");
    type(&window(), Qt::Key_F, Qt::ControlModifier);
    redraw();
    expectKnobOnCursor("4 / 5   ♥ 2", 3, "filter off");

    // A plain click on the knob, pressed and let go without moving.
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.upsideDown = slider->invertedAppearance();
    const QPoint knob =
        slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, knob);
    queue.runPending();
    redraw();
    expectKnobOnCursor("4 / 5   ♥ 2", 3, "knob clicked");
    EXPECT_EQ(currentPath(), "p4.jpg");
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// The RAW white balance reads as a temperature in kelvin as soon as the development of the value
// it shows is there: after a key, and after an undo.
TEST_F(SelectViewTest, TheRawTemperatureReadsInKelvinOnceItsDevelopmentLands) {
    openBrowsing();
    activate();
    for (int row = pairRow(); row > 0; --row)
        press(&window(), Qt::Key_Down);
    const auto key = [&](Qt::Key k) {
        press(&window(), k);
        release(&window(), k);
        redraw();
    };
    key(Qt::Key_Tab); // the RAW file
    settle();
    key(Qt::Key_O); // its development page
    ParameterSlotColumnView* column = view().parameterPanel()->column(1);
    ASSERT_EQ(state().library()->currentSource(), PhotoSource::raw);
    ASSERT_EQ(column->nameLabel()->text(), QStringLiteral("色温度"));
    const auto kelvin = [&]() -> std::optional<double> {
        QString text = column->valueLabel()->text();
        if (!text.endsWith(u'K')) return std::nullopt;
        text.chop(1);
        return text.toDouble();
    };
    const auto start = kelvin();
    ASSERT_TRUE(start) << column->valueLabel()->text().toStdString();

    key(Qt::Key_S); // one step warmer: the slider's value until the development is done
    EXPECT_EQ(column->valueLabel()->text(), QStringLiteral("+1"));
    settle();
    redraw();
    const auto warmer = kelvin();
    ASSERT_TRUE(warmer) << column->valueLabel()->text().toStdString();
    EXPECT_NEAR(*warmer, *start * std::exp2(0.01), 1.0);

    type(&window(), Qt::Key_Z, Qt::ControlModifier);
    settle();
    redraw();
    EXPECT_EQ(kelvin(), start) << column->valueLabel()->text().toStdString();
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// A record of a newer version is never written over. The screen says so for as long as the
// folder is open, not only in the message at opening: hearts and edits made meanwhile are lost.
TEST_F(SelectViewTest, ARecordThatCannotBeSavedIsSaidForAsLongAsTheFolderIsOpen) {
    addStandardPhotos();
    const std::string newer = R"({"version": 3, "app": "Sorvin", "updatedAt": "t", "photos": {}})";
    std::ofstream(photos() / "sorvin.json") << newer;
    std::vector<QuitConfirmation> asked;
    delegate().confirmQuit = [&](QWidget*, const QuitConfirmation& confirmation) {
        asked.push_back(confirmation);
        return asked.size() > 1; // the quit from the menu is cancelled, closing the window is not
    };
    window().resize(1400, 900);
    window().show();
    activate();
    folderPanel.answer = photos();
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    settle();
    redraw();
    ASSERT_TRUE(view().isVisible());
    const QString said = QStringLiteral(
        "⚠ この記録は保護されているため、ここでの変更は保存されません（新しいバージョンで作られた記録です）");
    EXPECT_TRUE(view().warningLine()->isVisible());
    EXPECT_EQ(view().warningLine()->text(), said);

    press(&window(), Qt::Key_Space);
    press(&window(), Qt::Key_A);
    release(&window(), Qt::Key_A);
    press(&window(), Qt::Key_Down);
    release(&window(), Qt::Key_Down);
    press(&window(), Qt::Key_Space);
    for (int i = 0; i < 10; ++i) {
        queue.advance(1.0);
        settle();
    }
    redraw();
    EXPECT_FALSE(state().toastIsVisible()) << "the message at opening is long gone";
    EXPECT_TRUE(view().warningLine()->isVisible());
    EXPECT_EQ(view().warningLine()->text(), said);

    type(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(window().close());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], QuitConfirmation::make(RecordSaving::failed));
    EXPECT_EQ(AtomicFile::read(photos() / "sorvin.json"), newer);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(photos()), std::filesystem::directory_iterator()),
              5)
        << "nothing beside the photos and their record";
    EXPECT_FALSE(std::filesystem::exists(SelectionStore(photos(), support).fallbackURL()))
        << "nor in the fallback's place";
}

} // namespace
} // namespace sorvin::test

namespace sorvin::test {
namespace {

// A step of the wheel over the position slider moves the photo with the knob.
TEST_F(SelectViewTest, TheWheelOverTheSliderMovesThePhotoWithTheKnob) {
    for (const char* name : {"p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "p5.jpg"})
        addPhoto("jpeg/iceland_srgb_untagged_nikon_d800e.jpg", name);
    window().show();
    openPhotos();
    activate();
    press(&window(), Qt::Key_Down);
    press(&window(), Qt::Key_Down);
    redraw();
    QSlider* slider = view().bottomBar()->slider();
    ASSERT_EQ(slider->value(), 2);
    for (const int notch : {-120, 120}) {
        const int before = state().library()->cursorIndex();
        const QPointF at(slider->width() / 2.0, slider->height() / 2.0);
        QWheelEvent wheel(at, slider->mapToGlobal(at), QPoint(), QPoint(0, notch), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(slider, &wheel);
        redraw();
        EXPECT_NE(slider->sliderPosition(), before) << notch;
        EXPECT_EQ(state().library()->cursorIndex(), slider->sliderPosition()) << notch;
        EXPECT_EQ(view().bottomBar()->counterText().left(2),
                  QStringLiteral("%1 ").arg(slider->sliderPosition() + 1))
            << notch;
    }
}

// The sort direction's arrow is a few points wide; its button is the square around it, as high as
// the bar.
TEST_F(SelectViewTest, TheSortDirectionTakesAClickBesideItsArrow) {
    openBrowsing();
    activate();
    QPushButton* direction = view().fileList()->sortDirectionButton();
    const QPoint arrow = direction->mapToGlobal(direction->rect().center());
    bool ascending = state().sortAscending();
    for (const QPoint off : {QPoint(8, 0), QPoint(-8, 0), QPoint(0, -10), QPoint(8, 9)}) {
        const QPoint at = window().mapFromGlobal(arrow + off);
        QWidget* target = window().childAt(at);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, target->mapFrom(&window(), at));
        redraw();
        ascending = !ascending;
        EXPECT_EQ(state().sortAscending(), ascending) << off.x() << ", " << off.y();
    }
}

// A preset's name with "&" shows whole in the preset menu, not as a shortcut letter.
TEST_F(SelectViewTest, ThePresetMenuShowsAnAmpersandAsTyped) {
    openBrowsing();
    activate();
    state().presentPresetSave();
    state().savePreset("C&D");
    redraw();
    QStringList shown;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) shown << action->iconText();
        menu->close();
    });
    QTest::mouseClick(view().parameterPanel()->presetButton(), Qt::LeftButton);
    EXPECT_TRUE(shown.contains(QStringLiteral("C&D"))) << shown.join(u'|').toStdString();
}

// What is typed into a preset's rename field stays, with its cursor and its selection, whatever
// else changes meanwhile (a toast that fades); the whole name is selected only when renaming
// begins. The window's close button closes the sheet as "閉じる" does, only when nothing is open.
TEST_F(SelectViewTest, ThePresetOrganizerKeepsARenameAndClosesByItsWindowButton) {
    openBrowsing();
    activate();
    for (const char* name : {"one", "two"}) {
        state().presentPresetSave();
        state().savePreset(name);
    }
    state().presentPresetOrganizer();
    redraw();
    const auto organizer = [&] { return dynamic_cast<ParameterPresetOrganizerSheet*>(view().presetSheet()); };
    ASSERT_NE(organizer(), nullptr);
    const auto row = [&](int index) -> QWidget* {
        QApplication::processEvents(); // rows replaced are gone
        for (QWidget* w : organizer()->findChildren<QWidget*>())
            if (w->property("presetIndex") == QVariant(index)) return w;
        return nullptr;
    };
    const auto renameRow = [&](int index) {
        QTest::mouseClick(row(index), Qt::LeftButton);
        QTest::mouseDClick(row(index), Qt::LeftButton);
        QApplication::processEvents();
        return organizer()->renameField();
    };
    const auto field = [&] { return organizer()->renameField(); };
    const auto closeButton = [&] {
        QCloseEvent event;
        QApplication::sendEvent(organizer()->windowHandle(), &event);
        redraw();
    };

    ASSERT_NE(renameRow(0), nullptr);
    EXPECT_EQ(field()->selectedText(), QStringLiteral("one"));
    QTest::keyClicks(field(), QStringLiteral("uno"));
    QTest::keyClick(field(), Qt::Key_Return);
    redraw();
    ASSERT_EQ(state().presets()[0].name, "uno");
    ASSERT_TRUE(state().toastIsVisible());

    // While the rename's toast shows, the second preset is renamed.
    ASSERT_NE(renameRow(1), nullptr);
    QTest::keyClicks(field(), QStringLiteral("XY"));
    queue.advance(2.0);
    redraw();
    ASSERT_FALSE(state().toastText());
    QTest::keyClicks(field(), QStringLiteral("Z"));
    EXPECT_EQ(field()->text(), QStringLiteral("XYZ"));
    QTest::keyClick(field(), Qt::Key_Left, Qt::ShiftModifier);
    state().showToasts({"♡を付けました"}, 0.5);
    queue.advance(1.0);
    redraw();
    EXPECT_EQ(field()->selectedText(), QStringLiteral("Z"));
    EXPECT_EQ(field()->cursorPosition(), 2);

    closeButton();
    EXPECT_TRUE(state().isPresetOrganizerPresented()) << "a rename is open";
    QTest::keyClick(field(), Qt::Key_Escape);
    closeButton();
    EXPECT_FALSE(state().isPresetOrganizerPresented());
    EXPECT_EQ(view().presetSheet(), nullptr);
}

// A preset's name has at most 30 characters as the user sees them. In both sheets a key that
// would make a full name longer is refused where it is typed: the name keeps its last character,
// the cursor stays, and the next key after a deletion goes where the cursor is. Of a paste only
// what fits is kept.
TEST_F(SelectViewTest, APresetNameFieldRefusesWhatWouldPassItsLimitWhereTheCursorIs) {
    openBrowsing();
    activate();
    const auto type = [](QLineEdit* field, const QString& text) {
        QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(field, &event);
    };
    const auto text = [](const QLineEdit* field) { return field->text().toStdString(); };
    // Home on a full name, X and Y typed, then a deletion there and X and Y typed again.
    const auto typeXYAtTheStart = [&](QLineEdit* field) {
        const QString before = field->text();
        QTest::keyClick(field, Qt::Key_Home);
        QTest::keyClicks(field, QStringLiteral("XY"));
        EXPECT_EQ(text(field), before.toStdString());
        EXPECT_EQ(field->cursorPosition(), 0);
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, QStringLiteral("XY"));
        EXPECT_EQ(text(field), (QStringLiteral("X") + before.mid(1)).toStdString());
        EXPECT_EQ(field->cursorPosition(), 1);
    };

    state().presentPresetSave();
    redraw();
    auto* save = dynamic_cast<ParameterPresetSaveSheet*>(view().presetSheet());
    ASSERT_NE(save, nullptr);
    QLineEdit* name = save->nameField();
    const QString full = QStringLiteral("abcdefghijklmnopqrstuvwxyz1234");
    QTest::keyClicks(name, full + QStringLiteral("5"));
    EXPECT_EQ(text(name), full.toStdString());
    typeXYAtTheStart(name);
    // Characters, not their code units: one of two units fills the place of one.
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClick(name, Qt::Key_Backspace);
    type(name, QStringLiteral("👍"));
    type(name, QStringLiteral("!"));
    EXPECT_EQ(text(name), (QStringLiteral("X") + full.mid(1, 28) + QStringLiteral("👍")).toStdString());
    // A paste keeps its first characters that fit where the cursor is, over the selection, the
    // text before and after it kept.
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClick(name, Qt::Key_Home);
    for (int right = 0; right < 3; ++right)
        QTest::keyClick(name, Qt::Key_Right);
    QTest::keyClick(name, Qt::Key_Right, Qt::ShiftModifier);
    ASSERT_EQ(name->selectedText(), QStringLiteral("d"));
    QGuiApplication::clipboard()->setText(QStringLiteral("PQRS"));
    QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
    const QString pasted = QStringLiteral("XbcPQR") + full.mid(4, 24);
    EXPECT_EQ(text(name), pasted.toStdString());
    EXPECT_EQ(name->cursorPosition(), 6);
    QTest::keyClick(name, Qt::Key_Return);
    redraw();
    ASSERT_EQ(state().presets().size(), 1u);
    EXPECT_EQ(state().presets()[0].name, pasted.toStdString());

    const QString evening = QStringLiteral("夕暮れの街並みを柔らかく温かい色調で仕上げるための基本設定値");
    state().presentPresetSave();
    state().savePreset(evening.toStdString());
    state().presentPresetOrganizer();
    redraw();
    auto* organizer = dynamic_cast<ParameterPresetOrganizerSheet*>(view().presetSheet());
    ASSERT_NE(organizer, nullptr);
    QWidget* row = nullptr;
    for (QWidget* w : organizer->findChildren<QWidget*>())
        if (w->property("presetIndex") == QVariant(1)) row = w;
    ASSERT_NE(row, nullptr);
    QTest::mouseClick(row, Qt::LeftButton);
    QTest::mouseDClick(row, Qt::LeftButton);
    QApplication::processEvents();
    QLineEdit* rename = organizer->renameField();
    ASSERT_NE(rename, nullptr);
    ASSERT_EQ(text(rename), evening.toStdString());
    typeXYAtTheStart(rename);
    // A refused key leaves the field's undo steps as they were.
    QTest::keyClick(rename, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(rename, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(text(rename), evening.toStdString());
    QTest::keyClick(rename, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(rename, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(rename, Qt::Key_Return);
    redraw();
    EXPECT_EQ(state().presets()[1].name, (QStringLiteral("X") + evening.mid(1)).toStdString());
}

// Opening another folder by Ctrl+O lets go of the photos shown at once: until the browsing screen
// is drawn again, its list answers for no photo rather than for the folder that is gone.
TEST_F(SelectViewTest, AnotherFolderOpenedLeavesTheListNothingOfTheFolderGone) {
    openAtTheWindow();
    FileListModel* model = view().fileList()->model();
    ASSERT_EQ(model->rowCount(), 3);
    const auto other = root / "other";
    std::filesystem::create_directories(other);
    std::filesystem::copy_file(sample("jpeg/nikon_d70s_gps_lens.jpg"), other / "c.jpg");
    folderPanel.answer = other;
    type(&window(), Qt::Key_O, Qt::ControlModifier);
    // The folder is opened once the check of the last one has answered in the background; from
    // then on, before the event loop turns, the list is asked for its rows as a paint or an
    // accessibility query may ask.
    for (int round = 0; round < 100 && state().screen() != AppScreen::loading; ++round) {
        executor.runAll();
        queue.runPending();
    }
    ASSERT_EQ(state().screen(), AppScreen::loading);
    ASSERT_EQ(state().library(), nullptr);
    EXPECT_EQ(model->rowCount(), 0);
    settle();
    ASSERT_EQ(state().screen(), AppScreen::select);
    EXPECT_EQ(model->rowCount(), 1);
}

// ＋ → 円形 makes the new mask the target; a paste (Ctrl+V) of a set without masks, or a preset
// without masks (Ctrl+1), takes it away again. The keys and the sliders then edit the whole photo,
// on the first page, and what they change is written to the record.
TEST_F(SelectViewTest, AfterAPasteOrPresetTakesAwayTheEditedMaskKeysAndSlidersEditThePhoto) {
    openAtTheWindow();
    const std::string path = currentPath();
    const auto key = [this](int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(&window(), k, modifiers);
        release(&window(), k, modifiers);
        redraw();
    };
    const auto mouse = [this](QWidget* target, QEvent::Type type, QPointF at) {
        QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
        redraw();
    };
    const auto click = [&](QWidget* target) {
        mouse(target, QEvent::MouseButtonPress, target->rect().center());
        mouse(target, QEvent::MouseButtonRelease, target->rect().center());
    };
    const auto exposure = [this] { return state().library()->currentParameters()[PhotoParameter::exposure]; };
    ParameterPanelView& panel = *view().parameterPanel();

    state().presentPresetSave();
    state().savePreset("マスクなし");
    redraw();
    key(Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(state().copiedParameters());
    for (const bool preset : {false, true}) {
        SCOPED_TRACE(preset ? "Ctrl+1" : "Ctrl+V");
        click(view().maskTabs()->addButton());
        MaskAdditionSheet* sheet = view().maskTabs()->sheet();
        ASSERT_NE(sheet, nullptr);
        QPushButton* circular = nullptr;
        for (auto* b : sheet->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("円形")) circular = b;
        ASSERT_NE(circular, nullptr);
        click(circular);
        ASSERT_EQ(state().editTarget(), ParameterEditTarget::mask(0));
        for (PanelButton* tab : panel.tabs())
            if (tab->face().name == QStringLiteral("形")) click(tab);
        ASSERT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::shape));

        key(preset ? Qt::Key_1 : Qt::Key_V, Qt::ControlModifier);
        ASSERT_TRUE(state().library()->currentParameters().masks.empty());
        EXPECT_EQ(state().editTarget(), ParameterEditTarget::global());
        EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));
        ASSERT_EQ(exposure(), 0);

        key(Qt::Key_Q);
        for (int i = 0; i < 3; ++i)
            key(Qt::Key_A);
        EXPECT_GT(exposure(), 0) << "A edited nothing";
        EXPECT_NE(panel.column(0)->valueLabel()->text(), QStringLiteral("±0.00 EV"));

        VerticalParameterSlider* slider = panel.column(0)->slider();
        mouse(slider, QEvent::MouseButtonPress, QPointF(slider->width() / 2.0, slider->height() / 2.0));
        mouse(slider, QEvent::MouseMove, QPointF(slider->width() / 2.0, 0));
        mouse(slider, QEvent::MouseButtonRelease, QPointF(slider->width() / 2.0, 0));
        EXPECT_EQ(exposure(), slider->input().upper) << "the drag edited nothing";

        queue.advance(2);
        settle();
        const SelectionLoadResult saved = SelectionStore(photos(), root / "support", root / "legacy-support").load();
        ASSERT_TRUE(saved.params.contains(path));
        EXPECT_EQ(saved.params.at(path)[PhotoParameter::exposure], slider->input().upper);
        EXPECT_TRUE(saved.params.at(path).masks.empty());
    }
}

} // namespace
} // namespace sorvin::test
