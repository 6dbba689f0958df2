#include "persistence/preference_key.hpp"
#include "ui/settings/settings_view.hpp"
#include "ui_test_fixture.hpp"

#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

namespace sorvin::test {
namespace {

class SettingsViewTest : public MainWindowTest {
protected:
    SettingsView& view() {
        if (!view_) view_ = std::make_unique<SettingsView>(state().settings(), delegate());
        return *view_;
    }
    ~SettingsViewTest() override { view_.reset(); }
    std::unique_ptr<SettingsView> view_;
};

TEST_F(SettingsViewTest, StoredValuesShowClampedAndAreNotWrittenUntilMoved) {
    defaults.set(PreferenceKey::holdAdvanceRate, 45);
    EXPECT_EQ(view().holdAdvanceRateSlider()->value(), 30);
    EXPECT_EQ(view().holdAdvanceRateText()->text(), QStringLiteral("30 枚/秒"));
    // The value changes in place: every digit has one width.
    const QFontMetricsF digits(view().holdAdvanceRateText()->font());
    for (const QChar digit : QStringLiteral("0123456789"))
        EXPECT_EQ(digits.horizontalAdvance(digit), digits.horizontalAdvance(QLatin1Char('1'))) << digit.toLatin1();
    EXPECT_EQ(defaults.doubleValue(PreferenceKey::holdAdvanceRate), 45);

    view().holdAdvanceRateSlider()->setValue(18);
    EXPECT_EQ(state().settings().holdAdvanceRate(), 18);
    // The scroll slider moves in steps of 5.
    view().scrollPointsPerStepSlider()->setValue(92);
    EXPECT_EQ(state().settings().scrollPointsPerStep(), 90);
    EXPECT_EQ(view().scrollPointsPerStepSlider()->value(), 90);

    view().restoreDefaultsButton()->click();
    EXPECT_EQ(state().settings().holdAdvanceRate(), 10);
    EXPECT_EQ(state().settings().scrollPointsPerStep(), 60);
    EXPECT_EQ(view().holdAdvanceRateSlider()->value(), 10);
}

TEST_F(SettingsViewTest, WithoutAFeedTheUpdateButtonStaysDisabledAndNotesOpenOnRequest) {
    EXPECT_FALSE(view().checkForUpdatesButton()->isEnabled());
    view().show();
    EXPECT_FALSE(view().releaseNotes()->isVisible());
    const int closed = view().height();
    view().releaseNotesToggle()->click();
    EXPECT_TRUE(view().releaseNotes()->isVisible());
    EXPECT_GE(view().height(), closed);
    EXPECT_LE(view().height(), SettingsView::kMaximumHeight);
    EXPECT_EQ(view().width(), SettingsView::kWidth);
    // Under the limit everything shows without scrolling.
    QApplication::processEvents();
    const QScrollArea* scroll = view().findChild<QScrollArea*>();
    ASSERT_TRUE(scroll);
    ASSERT_LT(view().height(), SettingsView::kMaximumHeight);
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << view().height();
}

} // namespace
} // namespace sorvin::test
