#include "view/panel_colors.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_key_cap.hpp"
#include "ui/panel/parameter_panel_view.hpp"
#include "ui/panel/parameter_preset_organizer_sheet.hpp"
#include "ui/panel/parameter_preset_save_sheet.hpp"
#include "ui/panel/parameter_slot_column_view.hpp"
#include "ui/panel/ratio_bar_view.hpp"
#include "ui/panel/tone_curve_graph_view.hpp"
#include "ui/panel/vertical_parameter_slider.hpp"
#include "ui_test_fixture.hpp"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

namespace sorvin::test {
namespace {

class ParameterPanelViewTest : public MainWindowTest {
protected:
    void SetUp() override {
        addStandardPhotos();
        openPhotos();
        screen = std::make_unique<SelectView>(state(), queue);
        screen->resize(1200, 700);
        screen->show();
        QApplication::processEvents();
    }
    void TearDown() override { screen.reset(); }

    ParameterPanelView& panel() { return *screen->parameterPanel(); }
    int current(PhotoParameter p) {
        return state().library()->currentParameters().value(p, state().editTarget());
    }

    static void mouse(QWidget* target, QEvent::Type type, QPointF at) {
        QMouseEvent event(type, at, target->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    static void typeKey(QWidget* target, int key, const QString& text = {}) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(target, &event);
    }

    std::unique_ptr<SelectView> screen;
};

TEST_F(ParameterPanelViewTest, BasicPageShowsItsColumnsAndTabs) {
    EXPECT_EQ(panel().tabs().size(), 8u);
    EXPECT_EQ(panel().tabs()[0]->face().name, QStringLiteral("基本"));
    EXPECT_EQ(panel().tabs()[0]->face().key, QStringLiteral("（Q）"));
    EXPECT_EQ(panel().column(0)->valueLabel()->text(), QStringLiteral("±0.00 EV"));
    EXPECT_EQ(panel().column(0)->increaseCap()->isImplemented(), true);
    EXPECT_FALSE(panel().curveGraph()->isVisible());
    // Paste waits for a copy; the pair shows its RAW file's extension.
    EXPECT_TRUE(panel().clipboardButton(0)->isEnabled());
    EXPECT_FALSE(panel().clipboardButton(1)->isEnabled());
    EXPECT_EQ(panel().sourceButton(1)->face().name, QStringLiteral("NEF"));
    EXPECT_TRUE(panel().sourceButton(1)->isEnabled());
    EXPECT_FALSE(panel().sourceButton(0)->isEnabled());
}

TEST_F(ParameterPanelViewTest, SliderDragAndKeyCapReachTheParameter) {
    VerticalParameterSlider* slider = panel().column(1)->slider();
    ASSERT_EQ(slider->input().lower, -100);
    mouse(slider, QEvent::MouseButtonPress, QPointF(slider->width() / 2.0, 0));
    EXPECT_EQ(current(PhotoParameter::contrast), 100);
    mouse(slider, QEvent::MouseMove, QPointF(slider->width() / 2.0, slider->height()));
    mouse(slider, QEvent::MouseButtonRelease, QPointF(slider->width() / 2.0, slider->height()));
    EXPECT_EQ(current(PhotoParameter::contrast), -100);
    EXPECT_EQ(panel().column(1)->slider()->input().value, -100);

    ParameterKeyCap* up = panel().column(1)->increaseCap();
    const QPointF middle(up->width() / 2.0, up->height() / 2.0);
    mouse(up, QEvent::MouseButtonPress, middle);
    mouse(up, QEvent::MouseButtonRelease, middle);
    EXPECT_EQ(current(PhotoParameter::contrast), -99);
}

TEST_F(ParameterPanelViewTest, TypedValueIsCommittedOnReturnAndDroppedOnEscape) {
    mouse(panel().column(1)->valueLabel(), QEvent::MouseButtonPress, QPointF(5, 5));
    QLineEdit* field = panel().column(1)->valueField();
    ASSERT_TRUE(field->isVisible());
    EXPECT_TRUE(screen->inputFocus().holds(AdjustmentInputField::parameter(PhotoParameter::contrast)));
    EXPECT_TRUE(state().adjustmentInputIsFocused());
    field->selectAll();
    typeKey(field, Qt::Key_2, QStringLiteral("2"));
    typeKey(field, Qt::Key_5, QStringLiteral("5"));
    typeKey(field, Qt::Key_0, QStringLiteral("0"));
    typeKey(field, Qt::Key_Return);
    EXPECT_EQ(current(PhotoParameter::contrast), 100);
    EXPECT_FALSE(field->isVisible());
    EXPECT_FALSE(state().adjustmentInputIsFocused());

    mouse(panel().column(1)->valueLabel(), QEvent::MouseButtonPress, QPointF(5, 5));
    field->selectAll();
    typeKey(field, Qt::Key_7, QStringLiteral("7"));
    typeKey(field, Qt::Key_Escape);
    EXPECT_EQ(current(PhotoParameter::contrast), 100);
}

TEST_F(ParameterPanelViewTest, MovingIntoACropFieldCommitsTheTypedValue) {
    mouse(panel().column(1)->valueLabel(), QEvent::MouseButtonPress, QPointF(5, 5));
    QLineEdit* field = panel().column(1)->valueField();
    field->selectAll();
    typeKey(field, Qt::Key_4, QStringLiteral("4"));
    typeKey(field, Qt::Key_2, QStringLiteral("2"));
    QLineEdit* rotation = screen->ratioBar()->field(AdjustmentInputField::Kind::rotation);
    rotation->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(current(PhotoParameter::contrast), 42);
    EXPECT_FALSE(field->isVisible());
    EXPECT_TRUE(screen->inputFocus().holds(AdjustmentInputField::rotation()));
    // A photo change drops what is typed into the crop field.
    rotation->selectAll();
    typeKey(rotation, Qt::Key_9, QStringLiteral("9"));
    state().move(1);
    QApplication::processEvents();
    EXPECT_DOUBLE_EQ(state().library()->currentRotation(), 0);
    state().move(-1);
    EXPECT_DOUBLE_EQ(state().library()->currentRotation(), 0);
    EXPECT_FALSE(screen->inputFocus().isFocused());
}

TEST_F(ParameterPanelViewTest, CurvePageShowsTheGraphOfItsChannel) {
    state().selectCurveChannel(PointCurveChannel::red);
    ASSERT_TRUE(panel().curveGraph()->isVisible());
    ASSERT_TRUE(panel().curveGraph()->model());
    EXPECT_EQ(panel().curveGraph()->model()->selectedChannel, PointCurveChannel::red);
    EXPECT_FALSE(panel().column(0)->slider()->isVisible());
    EXPECT_TRUE(panel().column(5)->slider()->isVisible());
}

TEST_F(ParameterPanelViewTest, CropBarAppliesTypedSizeAndPresets) {
    RatioBarView* bar = screen->ratioBar();
    QLineEdit* size = bar->field(AdjustmentInputField::Kind::size);
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->text(), QStringLiteral("100"));
    size->setFocus();
    QApplication::processEvents();
    size->selectAll();
    typeKey(size, Qt::Key_5, QStringLiteral("5"));
    typeKey(size, Qt::Key_0, QStringLiteral("0"));
    typeKey(size, Qt::Key_Return);
    EXPECT_EQ(state().library()->currentCrop().sizeP, 50);
    bar->aspectButton(5)->click();
    EXPECT_EQ(state().library()->currentCrop().aspect, CropAspect::ratio(1, 1));
    EXPECT_EQ(bar->aspectButton(5)->face().background, qColor(PanelColors::accent));
}

TEST_F(ParameterPanelViewTest, PresetSheetsValidateNamesAndOrganize) {
    state().presentPresetSave();
    ASSERT_TRUE(state().isPresetSavePresented());
    auto* sheet = dynamic_cast<ParameterPresetSaveSheet*>(screen->presetSheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    sheet->nameField()->setFocus();
    typeKey(sheet->nameField(), Qt::Key_Space, QStringLiteral(" "));
    EXPECT_FALSE(sheet->saveButton()->isEnabled());
    typeKey(sheet->nameField(), Qt::Key_A, QStringLiteral("a"));
    EXPECT_TRUE(sheet->saveButton()->isEnabled());
    sheet->saveButton()->click();
    EXPECT_FALSE(state().isPresetSavePresented());
    ASSERT_EQ(state().presets().size(), 1u);
    EXPECT_EQ(state().presets()[0].name, "a");
    EXPECT_EQ(panel().presetMenuTitles().front(), QStringLiteral("a"));

    // A second save with the same name shows the overwrite notice.
    state().presentPresetSave();
    sheet = dynamic_cast<ParameterPresetSaveSheet*>(screen->presetSheet());
    ASSERT_NE(sheet, nullptr);
    typeKey(sheet->nameField(), Qt::Key_A, QStringLiteral("a"));
    EXPECT_EQ(sheet->noticeLabel()->text(), QStringLiteral("同じ名前のプリセットがあります。上書きします"));
    sheet->reject();
    EXPECT_FALSE(state().isPresetSavePresented());

    state().presentPresetOrganizer();
    auto* organizer = dynamic_cast<ParameterPresetOrganizerSheet*>(screen->presetSheet());
    ASSERT_NE(organizer, nullptr);
    // Renaming to the name it has ends renaming; a click on the background ends it without saving.
    organizer->model().beginRename();
    organizer->refresh();
    ASSERT_NE(organizer->renameField(), nullptr);
    typeKey(organizer->renameField(), Qt::Key_B, QStringLiteral("b"));
    mouse(organizer, QEvent::MouseButtonPress, QPointF(5, 390));
    EXPECT_EQ(organizer->renameField(), nullptr);
    EXPECT_EQ(state().presets()[0].name, "a");
    organizer->model().beginRename();
    organizer->refresh();
    organizer->renameField()->selectAll();
    typeKey(organizer->renameField(), Qt::Key_C, QStringLiteral("c"));
    typeKey(organizer->renameField(), Qt::Key_Return);
    EXPECT_EQ(state().presets()[0].name, "c");
    organizer->model().requestDeletion();
    organizer->model().confirmDeletion();
    EXPECT_TRUE(state().presets().empty());
    EXPECT_FALSE(state().isPresetOrganizerPresented());
}

} // namespace
} // namespace sorvin::test
