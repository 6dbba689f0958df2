#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/ratio_bar_view.hpp"
#include "ui_test_fixture.hpp"

#include <QLineEdit>
#include <QTest>

namespace sorvin::test {
namespace {

using Kind = AdjustmentInputField::Kind;

// A value typed into the crop and rotation bar is applied however the user leaves the field.
class RatioBarViewTest : public MainWindowTest {
protected:
    void SetUp() override {
        addStandardPhotos();
        window().show();
        openPhotos();
        activate();
        bar = window().rootView()->selectView()->ratioBar();
    }
    // Clicks into the field and types over its text, as a user does.
    QLineEdit* type(Kind kind, const QString& text) {
        QLineEdit* field = bar->field(kind);
        QTest::mouseClick(field, Qt::LeftButton);
        field->selectAll();
        QTest::keyClicks(field, text);
        return field;
    }
    double rotation() { return state().library()->currentRotation(); }
    CropAspect aspect() { return state().library()->currentCrop().aspect; }

    RatioBarView* bar = nullptr;
};

TEST_F(RatioBarViewTest, TabAppliesTheTypedRotationAndCustomSide) {
    QTest::keyClick(type(Kind::rotation, QStringLiteral("3.5")), Qt::Key_Tab);
    EXPECT_EQ(rotation(), 3.5);

    QTest::mouseClick(bar->customButton(), Qt::LeftButton);
    ASSERT_EQ(aspect(), CropAspect::ratio(5, 4));
    QTest::keyClick(type(Kind::customWidth, QStringLiteral("7")), Qt::Key_Tab);
    EXPECT_EQ(aspect(), CropAspect::ratio(7, 4));
    EXPECT_EQ(bar->field(Kind::customWidth)->text(), QStringLiteral("7"));
}

TEST_F(RatioBarViewTest, AClickOnAnAspectAppliesTheTypedRotationFirst) {
    type(Kind::rotation, QStringLiteral("-2"));
    QTest::mouseClick(bar->aspectButton(1), Qt::LeftButton); // 3:2
    EXPECT_EQ(rotation(), -2);
    EXPECT_EQ(aspect(), CropAspect::ratio(3, 2));
    // One undo step each, the aspect's last.
    ASSERT_TRUE(window().undoManager().canUndo());
    window().undoManager().undo();
    EXPECT_EQ(rotation(), -2);
    EXPECT_EQ(aspect(), CropAspect::original());
}

TEST_F(RatioBarViewTest, ReturnAppliesTheTypedSize) {
    QTest::keyClick(type(Kind::size, QStringLiteral("60")), Qt::Key_Return);
    EXPECT_EQ(state().library()->currentCrop().sizeP, 60);
    EXPECT_FALSE(state().adjustmentInputIsFocused());
}

} // namespace
} // namespace sorvin::test
