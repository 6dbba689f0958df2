#include "persistence/preference_key.hpp"
#include "ui/app/root_view.hpp"
#include "ui/browsing/bottom_bar_view.hpp"
#include "ui/browsing/command_cheat_sheet_view.hpp"
#include "ui/browsing/exif_panel_view.hpp"
#include "ui/browsing/panel_collapse_button.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/canvas/mask_addition_sheet.hpp"
#include "ui/canvas/mask_tab_bar_view.hpp"
#include "ui/export/export_sheet.hpp"
#include "ui/overlays/toast_view.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_key_cap.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_slot_column_view.hpp"
#include "ui/panel/ratio_bar_view.hpp"
#include "ui/panel/shrinking_label.hpp"
#include "ui/panel/vertical_parameter_slider.hpp"
#include "ui/platform/elided_label.hpp"
#include "ui/settings/settings_view.hpp"
#include "ui_test_fixture.hpp"
#include "view/sheet_look.hpp"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <utility>

namespace sorvin::test {
namespace {

// What a person sees of a widget: its rectangle in its window, cut by every widget around it.
QRect shownRect(const QWidget* widget) {
    QRect shown(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    for (const QWidget* w = widget->parentWidget(); w && !w->isWindow(); w = w->parentWidget())
        shown &= QRect(w->mapTo(w->window(), QPoint(0, 0)), w->size());
    return shown;
}

bool isControl(const QWidget* w) {
    if (const auto* label = qobject_cast<const QLabel*>(w)) return !label->text().trimmed().isEmpty();
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
           qobject_cast<const QAbstractSlider*>(w) || dynamic_cast<const ParameterKeyCap*>(w) ||
           dynamic_cast<const VerticalParameterSlider*>(w);
}

// The text of a control that does not fit its box, as the control is allowed to shrink it.
std::optional<QString> cutText(const QWidget* w) {
    const auto over = [](double needed, double room) { return needed > room + 0.5; };
    if (const auto* label = dynamic_cast<const ShrinkingLabel*>(w)) {
        return label->fits() ? std::nullopt : std::optional(label->text());
    }
    // Cut with an ellipsis, as it is meant to be.
    if (dynamic_cast<const ElidedLabel*>(w)) return std::nullopt;
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->text().isEmpty() || label->textFormat() == Qt::RichText) return std::nullopt;
        if (label->wordWrap()) {
            if (label->heightForWidth(label->width()) > label->height()) return label->text();
            return std::nullopt;
        }
        const QFontMetricsF metrics(label->font());
        double widest = 0;
        for (const QString& line : label->text().split(u'\n'))
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (over(widest, label->contentsRect().width())) return label->text();
        return std::nullopt;
    }
    if (const auto* button = dynamic_cast<const PanelButton*>(w)) {
        if (over(button->sizeHint().width(), button->width())) return button->face().name;
        return std::nullopt;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        if (button->text().isEmpty()) return std::nullopt;
        // The style's frame and padding around the text take a few points on each side.
        const auto* push = qobject_cast<const QPushButton*>(w);
        const double frame = qobject_cast<const QCheckBox*>(w) ? 20 : push && push->isFlat() ? 0 : 6;
        if (over(QFontMetricsF(button->font()).horizontalAdvance(button->text()) + frame, button->width()))
            return button->text();
    }
    return std::nullopt;
}

// The ink of a one-line label's text as it is drawn, in its window; none for other labels.
std::optional<QRectF> drawnText(const QWidget* w) {
    const auto* label = qobject_cast<const QLabel*>(w);
    if (!label || label->text().trimmed().isEmpty() || label->textFormat() == Qt::RichText || label->wordWrap() ||
        label->text().contains(u'\n'))
        return std::nullopt;
    QFont font = label->font();
    double scale = 1;
    QString shown = label->text();
    const QRectF room = label->contentsRect();
    if (const auto* shrinking = dynamic_cast<const ShrinkingLabel*>(w)) {
        const ShrinkingLabel::Fitting fitting = shrinking->fitting();
        font = fitting.font;
        scale = fitting.scale;
        shown = fitting.shown;
    }
    if (const auto* elided = dynamic_cast<const ElidedLabel*>(w)) shown = elided->shownText();
    // Laid out in the room as the label draws it, scaled about the label's origin.
    const QFontMetricsF metrics(font);
    const QRectF scaledRoom(room.topLeft() / scale, room.size() / scale);
    const QRectF line = metrics.boundingRect(scaledRoom, int(label->alignment()) | Qt::TextSingleLine, shown);
    // The glyphs' outlines, unhinted, from the start of the line on its baseline.
    QPainterPath outlines;
    outlines.addText(0, 0, font, shown);
    const QRectF ink = outlines.boundingRect().translated(line.left(), line.top() + metrics.ascent());
    const QRectF drawn(ink.topLeft() * scale, ink.size() * scale);
    return drawn.translated(QPointF(label->mapTo(label->window(), QPoint(0, 0))));
}

// Every text cut short, every two controls lying on each other and every two labels whose texts
// come closer than 2 pt in one window.
std::vector<std::string> layoutFaults(QWidget* top) {
    std::vector<std::string> faults;
    std::vector<std::pair<const QWidget*, QRect>> controls;
    std::vector<std::pair<const QLabel*, QRectF>> texts;
    for (const QWidget* w : top->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->window() != top) continue;
        // Toasts float over everything, and the collapse buttons over the panels' edges, on purpose.
        bool overlay = dynamic_cast<const PanelCollapseButton*>(w) != nullptr;
        for (const QWidget* a = w; a; a = a->parentWidget())
            overlay |= dynamic_cast<const ToastView*>(a) != nullptr;
        if (overlay || !isControl(w)) continue;
        const QRect shown = shownRect(w);
        if (shown.isEmpty()) continue;
        const QString name = w->metaObject()->className();
        if (const auto text = cutText(w))
            faults.push_back("cut: \"" + text->toStdString() + "\" (" + name.toStdString() + ")");
        controls.emplace_back(w, shown);
        if (const auto ink = drawnText(w); ink && QRectF(shown).intersects(*ink))
            texts.emplace_back(static_cast<const QLabel*>(w), *ink & QRectF(shown));
    }
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const QRectF& a = texts[i].second;
            const QRectF& b = texts[j].second;
            const double across = std::max(a.left() - b.right(), b.left() - a.right());
            const double down = std::max(a.top() - b.bottom(), b.top() - a.bottom());
            if (across < 2 && down < 2)
                faults.push_back("texts closer than 2 pt: \"" + texts[i].first->text().toStdString() + "\" and \"" +
                                 texts[j].first->text().toStdString() + "\"");
        }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const auto& [a, ra] = controls[i];
            const auto& [b, rb] = controls[j];
            if (a->isAncestorOf(b) || b->isAncestorOf(a)) continue;
            const QRect both = ra & rb;
            if (both.width() > 1 && both.height() > 1) {
                const auto describe = [](const QWidget* w) {
                    QString text = w->metaObject()->className();
                    if (const auto* l = qobject_cast<const QLabel*>(w)) text += " \"" + l->text() + "\"";
                    if (const auto* p = dynamic_cast<const PanelButton*>(w))
                        text += " \"" + p->face().name + "\"";
                    else if (const auto* b = qobject_cast<const QAbstractButton*>(w))
                        text += " \"" + b->text() + "\"";
                    return text.toStdString();
                };
                faults.push_back("overlap: " + describe(a) + " and " + describe(b));
            }
        }
    return faults;
}

class WindowLayoutTest : public MainWindowTest {
protected:
    SelectView& screen() { return *window().rootView()->selectView(); }
    ParameterPanelView& panel() { return *screen().parameterPanel(); }

    void openAt(QSize size) {
        addStandardPhotos();
        window().resize(size);
        window().show();
        openPhotos();
        redraw();
    }
    void redraw() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            queue.runPending();
        }
        QApplication::processEvents();
    }
    void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        press(&window(), k, modifiers);
        release(&window(), k, modifiers);
        redraw();
    }
    static void click(QWidget* target, QPoint at) {
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(target, &event);
        }
    }
    static void click(QWidget* target) { click(target, target->rect().center()); }
    // Fails with every fault of the window and of the sheets open over it.
    void expectNoLayoutFaults(const std::string& where) {
        redraw();
        std::vector<std::string> faults = layoutFaults(&window());
        for (QDialog* sheet : window().findChildren<QDialog*>())
            if (sheet->isVisible())
                for (auto& fault : layoutFaults(sheet))
                    faults.push_back(sheet->windowTitle().toStdString() + ": " + fault);
        if (const CommandCheatSheetView* sheet = screen().visibleCheatSheet())
            for (const auto& label : sheet->cutLabels())
                faults.push_back("cheat sheet label cut: " + label);
        for (const auto& fault : faults)
            ADD_FAILURE() << where << ": " << fault;
    }
    PanelButton* tab(const QString& name) {
        for (PanelButton* t : panel().tabs())
            if (t->face().name == name) return t;
        return nullptr;
    }
    // The mask tab bar's button that opens the mask sheet.
    QPushButton* addMaskButton() {
        for (auto* b : window().findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("＋") && b->isVisible()) return b;
        return nullptr;
    }
};

// Letter page keys and the number row's keys, in the order of the pages.
constexpr int kPageKeys[] = {Qt::Key_Q, Qt::Key_W, Qt::Key_E, Qt::Key_R, Qt::Key_T, Qt::Key_Y, Qt::Key_U,
                             Qt::Key_I, Qt::Key_O, Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5};

TEST_F(WindowLayoutTest, EveryTextFitsAndNoControlsOverlapAtTheDefaultAndSmallestWindow) {
    openAt(QSize(1400, 900));
    for (int i = 0; i < 20; ++i) {
        state().presentPresetSave();
        state().savePreset("プリセット" + std::to_string(i + 1));
    }
    for (const QSize size : {QSize(1400, 900), QSize(1360, 800)}) {
        const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height()) + ", ";
        window().resize(size);
        key(Qt::Key_Home);
        const auto everyPage = [&](const std::string& what) {
            for (const int k : kPageKeys) {
                key(k);
                expectNoLayoutFaults(at + what + ", page key " + QKeySequence(k).toString().toStdString());
            }
        };
        everyPage("photo with RAW shown as JPEG");
        key(Qt::Key_Down);
        everyPage("lone JPEG");
        key(Qt::Key_Up);
        state().selectSource(PhotoSource::raw, currentPath(), RetouchSlot::a, true, false);
        everyPage("RAW photo");
        for (const MaskKind& kind : {MaskKind::circular(), MaskKind::linear()}) {
            state().presentMaskAddition();
            redraw();
            expectNoLayoutFaults(at + "mask sheet");
            state().addMask(kind);
            everyPage(kind.rawValue + " mask");
        }
        press(&window(), Qt::Key_Control);
        queue.advance(0.3);
        redraw();
        EXPECT_NE(screen().visibleCheatSheet(), nullptr);
        expectNoLayoutFaults(at + "cheat sheet");
        release(&window(), Qt::Key_Control, Qt::ControlModifier);

        state().presentPresetSave();
        redraw();
        auto* name = screen().presetSheet()->findChild<QLineEdit*>();
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("新しいプリセット"));
        Q_EMIT name->textEdited(name->text());
        expectNoLayoutFaults(at + "preset save sheet with a full list");
        state().setPresetSavePresented(false);
        state().presentPresetOrganizer();
        expectNoLayoutFaults(at + "preset organizer");
        state().setPresetOrganizerPresented(false);
        state().presentExport();
        expectNoLayoutFaults(at + "export sheet");
        state().setExportPresented(false);
        redraw();
    }
    SettingsView settings(state().settings(), delegate());
    settings.show();
    QApplication::processEvents();
    for (const auto& fault : layoutFaults(&settings))
        ADD_FAILURE() << "settings: " << fault;
    settings.releaseNotesToggle()->click();
    QApplication::processEvents();
    for (const auto& fault : layoutFaults(&settings))
        ADD_FAILURE() << "settings with notes: " << fault;
}

QScreen* screenNamed(const QString& name) {
    for (QScreen* screen : QGuiApplication::screens())
        if (screen->name() == name) return screen;
    return nullptr;
}

// On a laptop's screen less its panel (1366 × 736) and on a netbook's (1024 × 600) the window may be
// as small as the screen; maximised there it lies on the screen whole, and every button of the
// bottom bar and of the panels lies in the window and answers a click where it is drawn (one in a
// row that scrolls, once it is scrolled into view). Until the window goes there it keeps 1360 × 800.
TEST_F(WindowLayoutTest, OnASmallScreenEveryButtonIsInTheWindowAndAnswersAClick) {
    openAt(QSize(1400, 900));
    activate();
    key(Qt::Key_Space); // a heart, for the export and the filter
    EXPECT_EQ(window().minimumSize(), QSize(1360, 800));
    for (const QString& name : {QStringLiteral("laptop"), QStringLiteral("netbook")}) {
        SCOPED_TRACE(name.toStdString());
        QScreen* small = screenNamed(name);
        ASSERT_NE(small, nullptr);
        window().showNormal();
        window().move(small->availableGeometry().topLeft() + QPoint(10, 10));
        redraw();
        ASSERT_EQ(window().screen(), small);
        const QRect available = small->availableGeometry();
        EXPECT_LE(window().minimumWidth() + window().frameGeometry().width() - window().width(), available.width());
        EXPECT_LE(window().minimumHeight() + window().frameGeometry().height() - window().height(),
                  available.height());
        window().showMaximized();
        redraw();
        EXPECT_TRUE(available.contains(window().frameGeometry())) << "the window leaves the screen";

        const QRect inside = window().rect();
        std::vector<QAbstractButton*> buttons;
        const std::vector<QWidget*> parts{screen().bottomBar(), &panel(), screen().maskTabs(), screen().exifPanel(),
                                          &screen()};
        for (QWidget* part : parts)
            for (QAbstractButton* button : part->findChildren<QAbstractButton*>())
                if (button->isVisible() && button->window() == &window() &&
                    std::find(buttons.begin(), buttons.end(), button) == buttons.end())
                    buttons.push_back(button);
        ASSERT_GE(buttons.size(), 25u);
        EXPECT_TRUE(inside.contains(shownRect(screen().bottomBar()->slider())));
        for (QAbstractButton* button : buttons) {
            const std::string what = button->metaObject()->className() + (" \"" + button->text().toStdString() + "\"");
            SCOPED_TRACE(what);
            redraw();
            if (!button->isVisible()) continue; // a page without it
            // A button in a row that scrolls is brought into view as the row scrolls to it.
            for (QWidget* w = button->parentWidget(); w; w = w->parentWidget())
                if (auto* scroll = qobject_cast<QScrollArea*>(w)) {
                    EXPECT_TRUE(inside.contains(shownRect(scroll->viewport())));
                    scroll->ensureWidgetVisible(button, 0, 0);
                }
            const QRect shown = shownRect(button);
            EXPECT_EQ(shown.size(), button->size()) << "cut";
            EXPECT_TRUE(inside.contains(shown)) << "outside the window";
            const QPoint at = shown.center();
            QWidget* hit = window().childAt(at);
            EXPECT_TRUE(hit == button || button->isAncestorOf(hit)) << "covered";
            if (!button->isEnabled()) continue; // nothing to do for it here, as anywhere
            int clicks = 0;
            const auto counted = QObject::connect(button, &QAbstractButton::clicked, [&] { ++clicks; });
            // A button that opens a menu waits in the menu's loop: the menu goes at once.
            QTimer::singleShot(0, [] {
                if (QWidget* menu = QApplication::activePopupWidget()) menu->close();
            });
            QTest::mouseClick(window().windowHandle(), Qt::LeftButton, {}, at);
            QObject::disconnect(counted);
            EXPECT_EQ(clicks, 1) << "no answer to a click";
            // Whatever the click opened goes again.
            redraw();
            for (QDialog* sheet : window().findChildren<QDialog*>())
                if (sheet->isVisible()) sheet->reject();
            if (exportPanel.completion) std::exchange(exportPanel.completion, nullptr)(std::nullopt, SingleExportFormat::jpeg);
            if (state().bottomPanelCollapsed()) state().setBottomPanelCollapsed(false);
            if (state().rightPanelCollapsed()) state().setRightPanelCollapsed(false);
        }
    }
}

// The window manager of an X11 desktop frames the window only after it first shows, here with a
// 20 pt title bar and borders of 2 pt (as wide as the test platform's own), and says so with the
// window's next move. The window then fits itself: all of it,
// title bar included, lies on the free area of a laptop's screen less its panel (1366 × 736), and
// its minimum size leaves room for the frame there, maximised too; elsewhere it keeps 1360 × 800.
class FramedWindowTest : public WindowLayoutTest {
protected:
    void SetUp() override {
        laptop = screenNamed(QStringLiteral("laptop"));
        ASSERT_NE(laptop, nullptr);
        free = laptop->availableGeometry();
    }
    // Shows the window with no frame known yet, then frames it.
    void showAndFrame(std::optional<QPoint> at = std::nullopt) {
        window().setFrameSource([this] { return frame; });
        if (at) window().move(*at);
        window().show();
        redraw();
        frame = QMargins(2, 20, 2, 2);
        QMoveEvent configured(window().pos(), window().pos());
        QApplication::sendEvent(&window(), &configured);
        redraw();
    }
    QRect framed() { return window().geometry().marginsAdded(frame); }

    QScreen* laptop = nullptr;
    QRect free;
    QMargins frame;
};

TEST_F(FramedWindowTest, WithFreshSettingsTheFramedWindowLiesOnTheScreenMaximisedOrNot) {
    showAndFrame(free.topLeft());
    ASSERT_EQ(window().screen(), laptop);
    EXPECT_TRUE(free.contains(framed())) << "the bottom bar lies under the panel";
    EXPECT_EQ(window().geometry(), QRect(free.x() + 2, free.y() + 20, 1362, 714));
    EXPECT_EQ(window().minimumSize(), QSize(1360, 714));

    // Maximised, the window manager gives the contents what its frame leaves; the minimum lets it.
    window().showMaximized();
    redraw();
    EXPECT_LE(window().minimumHeight() + frame.top() + frame.bottom(), free.height());
    window().showNormal();
    redraw();
    EXPECT_TRUE(free.contains(framed()));

    // A later frame (the window manager maximises the window and draws it another title bar) may
    // come before the window hears that it is maximised: the window keeps its size limits and place,
    // as a change of either would end the maximising.
    const QRect placed = window().geometry();
    frame = QMargins(0, 30, 0, 0);
    QMoveEvent maximising(window().pos(), window().pos());
    QApplication::sendEvent(&window(), &maximising);
    redraw();
    EXPECT_EQ(window().minimumSize(), QSize(1360, 714));
    EXPECT_EQ(window().geometry(), placed);

    // On a large screen nothing but the frame changes: the minimum stays 1360 × 800.
    window().move(QPoint(100, 100));
    redraw();
    ASSERT_EQ(window().screen()->name(), QStringLiteral("standard"));
    EXPECT_EQ(window().minimumSize(), QSize(1360, 800));
}

TEST_F(FramedWindowTest, AStoredFrameLargerThanTheScreenComesBackWithItsTitleBarOnIt) {
    defaults.set(PreferenceKey::windowFrame, "0 1440 1500 1000");
    showAndFrame();
    ASSERT_EQ(window().screen(), laptop);
    EXPECT_TRUE(free.contains(framed())) << "the title bar is above the screen";
    EXPECT_EQ(window().geometry(), QRect(free.x() + 2, free.y() + 20, 1362, 714));
}

// What the window wrote on the laptop's screen with its frame counted is smaller than the screen
// without it: it comes back once the frame is known.
TEST_F(FramedWindowTest, TheFrameWrittenWithTheTitleBarCountedComesBack) {
    defaults.set(PreferenceKey::windowFrame, "2 1460 1362 714");
    showAndFrame();
    EXPECT_EQ(window().screen(), laptop);
    EXPECT_EQ(window().geometry(), QRect(2, 1460, 1362, 714));
    EXPECT_TRUE(free.contains(framed()));
}

// Every Qt warning printed while it lives.
class QtWarnings {
public:
    QtWarnings() { previous_ = qInstallMessageHandler(&QtWarnings::record); }
    ~QtWarnings() { qInstallMessageHandler(previous_); }
    static QStringList& seen() {
        static QStringList messages;
        return messages;
    }

private:
    static void record(QtMsgType type, const QMessageLogContext&, const QString& message) {
        // The offscreen platform says so of every dialog; a real display does not.
        if (message.contains(QStringLiteral("propagateSizeHints"))) return;
        if (type != QtDebugMsg && type != QtInfoMsg) seen() << message;
    }
    QtMessageHandler previous_;
};

TEST_F(WindowLayoutTest, TheDimmedPanelAndBarUnderASheetAreFadedIntoTheBackground) {
    openAt(QSize(1400, 900));
    // The screen's resize handle and collapse button lie over the panel's top 12 points undimmed.
    const std::vector<std::pair<QWidget*, int>> dimmed{{&panel(), 12}, {screen().ratioBar(), 0}};
    const auto grab = [this](QWidget* widget) {
        const QRect area(widget->mapTo(&window(), QPoint(0, 0)), widget->size());
        return window().grab(area).toImage().convertToFormat(QImage::Format_RGB32);
    };
    std::vector<QImage> shown;
    for (const auto& [widget, top] : dimmed)
        shown.push_back(grab(widget));
    QtWarnings::seen().clear();
    const QtWarnings warnings;
    ASSERT_NE(addMaskButton(), nullptr);
    click(addMaskButton());
    redraw();
    ASSERT_TRUE(state().isMaskAddPresented());
    // Opacity 0.4 over the screen's plain background, pixel by pixel: nothing drawn twice. The
    // sheet's backdrop lies over all of it.
    const QColor background(28, 28, 30);
    const double backdrop = 1 - SheetLook::backdrop.opacity;
    for (std::size_t i = 0; i < dimmed.size(); ++i) {
        const QImage faded = grab(dimmed[i].first);
        int wrong = 0;
        for (int y = dimmed[i].second; y < faded.height(); ++y)
            for (int x = 0; x < faded.width(); ++x) {
                const QColor a = shown[i].pixelColor(x, y);
                const QColor b = faded.pixelColor(x, y);
                const auto near = [backdrop](int got, int full, int back) {
                    return std::abs(got - backdrop * (0.4 * full + 0.6 * back)) <= 2.5;
                };
                wrong += !(near(b.red(), a.red(), background.red()) &&
                           near(b.green(), a.green(), background.green()) &&
                           near(b.blue(), a.blue(), background.blue()));
            }
        EXPECT_EQ(wrong, 0) << i;
    }
    EXPECT_EQ(QtWarnings::seen(), QStringList());
}

TEST_F(WindowLayoutTest, EverySheetComesInOneFrameOverTheDarkenedWindow) {
    openAt(QSize(1400, 900));
    activate();
    const QRect list(QPoint(0, 120), QSize(200, 300));
    const QImage bare = window().grab(list).toImage().convertToFormat(QImage::Format_RGB32);
    // What the sheet and the window behind it look like while the sheet is up.
    struct Look {
        QColor edge, inside;
        int undarkened = 0;
    };
    const auto look = [&](QDialog* sheet) {
        redraw();
        Look seen;
        if (!sheet || !sheet->isVisible()) return seen;
        const QImage face = sheet->grab().toImage();
        seen.edge = face.pixelColor(0, sheet->height() / 2);
        seen.inside = face.pixelColor(SheetLook::borderWidth + 1, sheet->height() / 2);
        const QImage behind = window().grab(list).toImage().convertToFormat(QImage::Format_RGB32);
        const double kept = 1 - SheetLook::backdrop.opacity;
        for (int y = 0; y < bare.height(); ++y)
            for (int x = 0; x < bare.width(); ++x) {
                const QColor a = bare.pixelColor(x, y);
                const QColor b = behind.pixelColor(x, y);
                seen.undarkened += std::abs(b.red() - kept * a.red()) > 1.5 ||
                                   std::abs(b.green() - kept * a.green()) > 1.5 ||
                                   std::abs(b.blue() - kept * a.blue()) > 1.5;
            }
        return seen;
    };

    press(&window(), Qt::Key_E, Qt::ControlModifier);
    release(&window(), Qt::Key_E, Qt::ControlModifier);
    const Look exportSheet = look(screen().exportSheet());
    ASSERT_TRUE(state().isExportPresented());
    click(screen().exportSheet()->cancelButton());
    redraw();
    EXPECT_EQ(window().grab(list).toImage().convertToFormat(QImage::Format_RGB32), bare);

    click(addMaskButton());
    const Look maskSheet = look(screen().maskTabs()->sheet());
    ASSERT_TRUE(state().isMaskAddPresented());

    for (const Look& sheet : {exportSheet, maskSheet}) {
        EXPECT_EQ(sheet.edge, toQColor(SheetLook::border));
        EXPECT_EQ(sheet.inside, toQColor(SheetLook::fill));
        EXPECT_EQ(sheet.undarkened, 0);
    }
}

TEST_F(WindowLayoutTest, AMaskAddedOnTheGeometryPageShowsItsBasicPage) {
    openAt(QSize(1400, 900));
    key(Qt::Key_5);
    ASSERT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::geometry));
    ASSERT_NE(addMaskButton(), nullptr);
    click(addMaskButton());
    redraw();
    QPushButton* circular = nullptr;
    for (QDialog* sheet : window().findChildren<QDialog*>())
        if (sheet->isVisible())
            for (auto* b : sheet->findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("円形")) circular = b;
    ASSERT_NE(circular, nullptr);
    click(circular);
    redraw();
    ASSERT_EQ(state().editTarget(), ParameterEditTarget::mask(0));
    ASSERT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::basic));
    // The ten columns of the page stand whole in the panel, and the selected tab in its row.
    for (int i = 0; i < 10; ++i) {
        const ParameterSlotColumnView* column = panel().column(i);
        ASSERT_TRUE(column->isVisible());
        EXPECT_EQ(shownRect(column).size(), column->size()) << i;
        EXPECT_EQ(shownRect(column->valueLabel()).size(), column->valueLabel()->size()) << i;
    }
    EXPECT_EQ(shownRect(tab(QStringLiteral("基本"))).size(), tab(QStringLiteral("基本"))->size());
    expectNoLayoutFaults("mask added on the geometry page");
}

TEST_F(WindowLayoutTest, TabsKeepTheirSizeAndTheSelectedOneScrollsIntoView) {
    openAt(QSize(1400, 900));
    state().selectSource(PhotoSource::raw, currentPath(), RetouchSlot::a, true, false);
    redraw();
    ASSERT_EQ(panel().tabs().size(), 9u);
    for (PanelButton* t : panel().tabs())
        EXPECT_EQ(t->width(), t->sizeHint().width()) << t->face().name.toStdString();
    PanelButton* raw = tab(QStringLiteral("RAW現像"));
    ASSERT_NE(raw, nullptr);
    ASSERT_LT(shownRect(raw).width(), raw->width()) << "the row should not fit at this width";
    key(Qt::Key_O);
    EXPECT_EQ(shownRect(raw).size(), raw->size());
    // Back at the start, a turn of the wheel over the row brings the last tabs out.
    key(Qt::Key_Q);
    EXPECT_LT(shownRect(raw).width(), raw->width());
    QWidget* row = raw->parentWidget()->parentWidget();
    for (int turn = 0; turn < 10; ++turn) {
        QWheelEvent wheel(QPointF(5, 5), row->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(row, &wheel);
    }
    EXPECT_EQ(shownRect(raw).size(), raw->size());
    click(raw);
    EXPECT_EQ(state().parameterPage(), ParameterPage::letter(ParameterLetterPage::rawDevelopment));
}

TEST_F(WindowLayoutTest, PressedLooksLastWhileThePointerHoldsTheControl) {
    openAt(QSize(1400, 900));
    const auto mouse = [](QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    // A key cap dragged off lets go of its pressed face and does nothing on release.
    ParameterKeyCap* cap = panel().column(1)->increaseCap();
    const QPoint middle = cap->rect().center();
    const QPoint away = middle + QPoint(0, 60);
    mouse(cap, QEvent::MouseButtonPress, middle, Qt::LeftButton);
    EXPECT_TRUE(cap->isDown());
    mouse(cap, QEvent::MouseMove, away, Qt::LeftButton);
    EXPECT_FALSE(cap->isDown());
    mouse(cap, QEvent::MouseButtonRelease, away, Qt::NoButton);
    EXPECT_EQ(state().library()->currentParameters().value(PhotoParameter::contrast, state().editTarget()),
              0);

    // An organiser button shows at 0.8 over the sheet while it is held.
    state().presentPresetSave();
    state().savePreset("朝");
    state().presentPresetOrganizer();
    redraw();
    QPushButton* rename = nullptr;
    for (auto* b : screen().presetSheet()->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("名前を変更")) rename = b;
    ASSERT_NE(rename, nullptr);
    const QPoint edge(3, rename->height() / 2);
    EXPECT_EQ(rename->grab().toImage().pixelColor(edge), QColor(58, 58, 60));
    mouse(rename, QEvent::MouseButtonPress, edge, Qt::LeftButton);
    EXPECT_EQ(rename->grab().toImage().pixelColor(edge), QColor(52, 52, 54));
    mouse(rename, QEvent::MouseMove, edge + QPoint(0, 100), Qt::LeftButton);
    mouse(rename, QEvent::MouseButtonRelease, edge + QPoint(0, 100), Qt::NoButton);
}

// A preset's name of 30 characters is cut with an ellipsis in its row: the list never scrolls
// sideways, and every row keeps its Ctrl+N in sight. The question before a deletion cuts the name,
// never its own words.
TEST_F(WindowLayoutTest, ALongPresetNameIsCutInTheOrganizerAndInItsDeletionQuestion) {
    openAt(QSize(1400, 900));
    const QString longName = QStringLiteral("夕焼けの港町で撮った写真のための暖かく柔らかな色と深い影調整");
    ASSERT_EQ(longName.size(), 30);
    for (const QString& name : {longName, QStringLiteral("朝")}) {
        state().presentPresetSave();
        state().savePreset(name.toStdString());
    }
    state().presentPresetOrganizer();
    redraw();
    QDialog* sheet = screen().presetSheet();
    ASSERT_NE(sheet, nullptr);
    const auto fitsWhole = [](const ElidedLabel* label) {
        return QFontMetricsF(label->font()).horizontalAdvance(label->shownText()) <= label->contentsRect().width();
    };

    auto* list = sheet->findChild<QScrollArea*>();
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible()) << "the list scrolls sideways";
    QWidget* viewport = list->viewport();
    int hints = 0;
    for (const QLabel* label : sheet->findChildren<QLabel*>())
        if (label->text().startsWith(QStringLiteral("Ctrl+"))) {
            ++hints;
            EXPECT_TRUE(viewport->rect().contains(QRect(label->mapTo(viewport, QPoint()), label->size())))
                << label->text().toStdString() << " is out of sight";
        }
    EXPECT_EQ(hints, 2);
    // The labels that cut their text (Qt's own cast would take any label for one).
    const auto elided = [sheet] {
        std::vector<const ElidedLabel*> all;
        for (const QLabel* label : sheet->findChildren<QLabel*>())
            if (const auto* e = dynamic_cast<const ElidedLabel*>(label)) all.push_back(e);
        return all;
    };
    const ElidedLabel* row = nullptr;
    for (const ElidedLabel* label : elided())
        if (label->text() == longName) row = label;
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(row->shownText().endsWith(QStringLiteral("…"))) << row->shownText().toStdString();
    EXPECT_TRUE(fitsWhole(row));

    QPushButton* remove = nullptr;
    for (auto* b : sheet->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("削除")) remove = b;
    ASSERT_NE(remove, nullptr);
    click(remove);
    redraw();
    const ElidedLabel* question = nullptr;
    for (const ElidedLabel* label : elided())
        if (label->isVisible() && label->text().startsWith(QStringLiteral("「"))) question = label;
    ASSERT_NE(question, nullptr);
    const QString shown = question->shownText();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("「夕焼け"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("…」を削除しますか？"))) << shown.toStdString();
    EXPECT_TRUE(fitsWhole(question));
    expectNoLayoutFaults("the organizer with a long name");
}

// The window system may place a sheet before it knows the frame it draws around it: its contents
// at the top of the screen, its title bar above it. Once the frame is known, the sheet moves down
// onto the screen, title bar included.
TEST_F(FramedWindowTest, TheExportSheetsTitleBarComesOntoTheScreen) {
    addStandardPhotos();
    showAndFrame(free.topLeft());
    openPhotos();
    redraw();
    frame = QMargins(); // the sheet's frame, not known yet
    key(Qt::Key_E, Qt::ControlModifier);
    QDialog* sheet = screen().exportSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->isVisible());
    sheet->setGeometry(QRect(QPoint(sheet->geometry().x(), free.y()), sheet->size()));
    redraw();
    frame = QMargins(2, 20, 2, 2);
    QMoveEvent framed(sheet->pos(), sheet->pos());
    QApplication::sendEvent(sheet, &framed);
    redraw();
    EXPECT_TRUE(free.contains(sheet->geometry().marginsAdded(frame)))
        << "the title bar lies above the screen, at y " << sheet->geometry().y() - frame.top();
}

} // namespace
} // namespace sorvin::test
