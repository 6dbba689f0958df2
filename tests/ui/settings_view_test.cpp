#include "persistence/preference_key.hpp"
#include "ui/settings/settings_view.hpp"
#include "ui_test_fixture.hpp"

#include <QLabel>
#include <QPushButton>
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
}

} // namespace
} // namespace sorvin::test
