#include "ui/app/root_view.hpp"
#include "ui/browsing/select_view.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/ratio_bar_view.hpp"
#include "ui_test_fixture.hpp"

#include <QLabel>
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

// The first photo is a pair whose JPEG (1488 × 2240) and RAW file (2012 × 1324) differ. Shown from
// its RAW file (Tab), the bar measures the RAW file's picture, which its export has: the size, and
// how far X can move the crop.
TEST_F(RatioBarViewTest, APairShownFromItsRawFileIsMeasuredInTheRawFile) {
    ASSERT_EQ(state().library()->currentPhoto()->relativePath, "a.jpg");
    EXPECT_EQ(bar->outputSizeLabel()->text(), QStringLiteral("1488 × 2240"));
    press(&window(), Qt::Key_Tab);
    release(&window(), Qt::Key_Tab);
    settle();
    QApplication::processEvents();
    ASSERT_EQ(state().library()->currentSource(), PhotoSource::raw);
    EXPECT_EQ(bar->outputSizeLabel()->text(), QStringLiteral("2012 × 1324"));

    QTest::keyClick(type(Kind::size, QStringLiteral("50")), Qt::Key_Return);
    EXPECT_EQ(bar->outputSizeLabel()->text(), QStringLiteral("1006 × 662"));
    QTest::keyClick(type(Kind::x, QStringLiteral("5000")), Qt::Key_Return);
    QTest::keyClick(type(Kind::y, QStringLiteral("5000")), Qt::Key_Return);
    EXPECT_EQ(bar->field(Kind::x)->text(), QStringLiteral("1006"));
    EXPECT_EQ(bar->field(Kind::y)->text(), QStringLiteral("662"));
    const ManualCropGeometry placed = state().library()->currentCrop().geometry(2012, 1324);
    EXPECT_EQ(placed, (ManualCropGeometry{1006, 662, 1006, 662})) << "the crop reaches the RAW file's corner";

    // Back on the JPEG, the same crop is measured in the JPEG.
    press(&window(), Qt::Key_Tab);
    release(&window(), Qt::Key_Tab);
    settle();
    QApplication::processEvents();
    ASSERT_EQ(state().library()->currentSource(), PhotoSource::jpeg);
    EXPECT_EQ(bar->outputSizeLabel()->text(), QStringLiteral("744 × 1120"));
}

} // namespace
} // namespace sorvin::test
