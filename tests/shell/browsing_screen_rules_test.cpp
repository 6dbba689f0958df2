#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"
#include "platform/defaults_store.hpp"
#include "shell/bottom_bar_model.hpp"
#include "shell/browsing_screen_model.hpp"
#include "shell/pacing_settings.hpp"
#include "shell/release_notes.hpp"
#include "support/scoped_environment.hpp"

#include <cstdlib>
#include <gtest/gtest.h>

namespace sorvin {
namespace {

TEST(BottomBarModelTest, CounterNamesPositionCountAndHearts) {
    EXPECT_EQ(BottomBarModel::counterText(false, 9, 250, 12), "10 / 250   ♥ 12");
    EXPECT_EQ(BottomBarModel::counterText(true, 9, 250, 12), "[絞り込み] 10 / 250   ♥ 12");
}

TEST(BottomBarModelTest, ButtonsAreEnabledByWhatTheyCanDo) {
    BottomBarModel::Inputs in;
    in.visibleCount = 1;
    auto bar = BottomBarModel::make(in);
    EXPECT_FALSE(bar.filterEnabled);
    EXPECT_EQ(bar.filterLabel, "♥だけ表示");
    EXPECT_EQ(bar.batchExportLabel, "♥0枚を書き出す");
    EXPECT_FALSE(bar.batchExportEnabled);
    EXPECT_FALSE(bar.sliderEnabled);
    EXPECT_EQ(bar.sliderMaximum, 0);
    EXPECT_FALSE(bar.singleExportEnabled);

    in.visibleCount = 0;
    EXPECT_EQ(BottomBarModel::make(in).sliderMaximum, 0);

    // The filter stays usable while it is on, so it can be turned off.
    in.isFiltered = true;
    bar = BottomBarModel::make(in);
    EXPECT_TRUE(bar.filterEnabled);
    EXPECT_EQ(bar.filterLabel, "すべて表示");

    in = {};
    in.visibleCount = 250;
    in.heartCount = 12;
    in.hasCurrentPhoto = true;
    bar = BottomBarModel::make(in);
    EXPECT_EQ(bar.batchExportLabel, "♥12枚を書き出す");
    EXPECT_TRUE(bar.batchExportEnabled && bar.filterEnabled && bar.sliderEnabled && bar.singleExportEnabled);
    EXPECT_EQ(bar.sliderMaximum, 249);
    in.isSingleExportInProgress = true;
    EXPECT_FALSE(BottomBarModel::make(in).singleExportEnabled);
}

TEST(BottomBarModelTest, TheSliderAsksForItsRoundedPosition) {
    EXPECT_EQ(BottomBarModel::sliderIndex(4.5), 5);
    EXPECT_EQ(BottomBarModel::sliderIndex(4.49), 4);
    EXPECT_EQ(BottomBarModel::sliderIndex(0), 0);
}

TEST(PanelResizeTest, DragsMeasureFromTheStartAndStopAtTheLimits) {
    PanelResizeDrag right(PanelResizeAxis::rightPanel);
    // Far to the left: the panel stops at 520.
    EXPECT_EQ(right.change(300, -500), 520);
    // Coming back narrows the panel only once the pointer passes where it reached 520.
    EXPECT_EQ(right.change(520, -230), 520);
    EXPECT_EQ(right.change(520, -200), 500);
    right.end();
    EXPECT_FALSE(right.isDragging());
    EXPECT_EQ(right.change(500, 10), 490);

    PanelResizeDrag bottom(PanelResizeAxis::bottomPanel);
    EXPECT_EQ(bottom.change(310, 1000), 160); // far down
    EXPECT_EQ(bottom.change(160, -40), 350);  // upward heightens, from the start value

    EXPECT_EQ(PanelResizeLimits::of(PanelResizeAxis::rightPanel).resetValue, 280);
    EXPECT_EQ(PanelResizeLimits::of(PanelResizeAxis::bottomPanel).resetValue, 310);
    EXPECT_EQ(PanelResizeLimits::of(PanelResizeAxis::bottomPanel).clamped(std::nan("")), 160);
}

// The panels keep the sizes the user gave down to the smallest window of the usual screens; on a
// small screen they give way to the photo, never below their drag limits.
TEST(PanelFitTest, PanelsGiveWayToThePhotoOnlyOnASmallScreen) {
    // 1360 × 800 less the menu bar, the top bar, the crop bar, the bottom bar and the mask tabs,
    // and less the file list: the largest panels are shown whole.
    EXPECT_EQ(PanelFit::bottomPanelHeight(460, 800 - 24 - 44 - 36 - 44 - 30), 460);
    EXPECT_EQ(PanelFit::rightPanelWidth(520, 1360 - 240), 520);
    // A netbook's screen: the photo keeps its room, the panels shrink to what is left.
    EXPECT_EQ(PanelFit::bottomPanelHeight(310, 418), 258);
    EXPECT_EQ(PanelFit::rightPanelWidth(280, 780), 260);
    // Never below the drag limits, however small the window.
    EXPECT_EQ(PanelFit::bottomPanelHeight(310, 100), 160);
    EXPECT_EQ(PanelFit::rightPanelWidth(520, 0), 220);
    // A stored size out of the limits is shown within them.
    EXPECT_EQ(PanelFit::bottomPanelHeight(9999, 2000), 460);
    EXPECT_EQ(PanelFit::rightPanelWidth(std::nan(""), 2000), 220);
}

TEST(BrowsingTopBarTest, CaptureDatesReadInTheLocalZone) {
    EXPECT_EQ(BrowsingTopBar::captureDateText(std::nullopt), "撮影日時なし");
    test::ScopedEnvironment environment;
    environment.set("TZ", "Asia/Tokyo");
    const CaptureDate date = std::chrono::system_clock::from_time_t(0) + std::chrono::milliseconds(1500);
    EXPECT_EQ(BrowsingTopBar::captureDateText(date), "1970-01-01 09:00:01");
}

TEST(BrowsingTopBarTest, WithoutALibraryThereIsNoPhotoAndNoHeart) {
    const auto bar = BrowsingTopBar::make(nullptr);
    EXPECT_FALSE(bar.fileName);
    EXPECT_FALSE(bar.hasHeart);
    EXPECT_EQ(exifPanelScrollResetID(nullptr, ParameterPage::curve(PointCurveChannel::red)),
              (ExifPanelScrollResetID{std::nullopt, 21}));
}

TEST(PacingSettingsTest, SlidersStoreRoundedClampedIntegersAndDefaultsAreAlwaysWritten) {
    DefaultsStore defaults;
    AppSettings settings(defaults, 1ull << 35);
    const auto& rate = PacingSetting::holdAdvanceRate;
    defaults.set(PreferenceKey::holdAdvanceRate, 45);
    EXPECT_EQ(rate.read(settings), 30);
    EXPECT_EQ(rate.write(settings, 17.5), 18);
    EXPECT_EQ(settings.holdAdvanceRate(), 18);
    EXPECT_EQ(rate.write(settings, 0.4), 2);
    EXPECT_EQ(PacingSetting::scrollPointsPerStep.write(settings, 1000), 150);
    EXPECT_EQ(rate.valueText(18), "18 枚/秒");
    EXPECT_EQ(PacingSetting::scrollPointsPerStep.valueText(60), "60 pt");

    PacingSetting::restoreDefaults(settings);
    EXPECT_EQ(settings.holdAdvanceRate(), 10);
    EXPECT_EQ(settings.scrollPointsPerStep(), 60);
}

TEST(ReleaseNotesTest, TheFirstReleaseHasItsHeadingAndThreeItems) {
    const auto& notes = ReleaseNotesData::all();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].heading(), "バージョン 1.0.0（2026-09-06）");
    EXPECT_EQ(notes[0].items.size(), 3u);
}

} // namespace
} // namespace sorvin
