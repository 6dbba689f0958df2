#include "shell/loading_progress.hpp"
#include "shell/recent_folder_presentation.hpp"
#include "shell/window_frame.hpp"

#include <gtest/gtest.h>
#include <optional>

namespace sorvin {
namespace {

TEST(WindowFrame, TextRoundTripsAndRejectsAnythingButFourNumbers) {
    const Rect frame{-1200, 35, 1400, 900};
    EXPECT_EQ(WindowFrame::text(frame), "-1200 35 1400 900");
    EXPECT_EQ(WindowFrame::parse(WindowFrame::text(frame)), frame);
    EXPECT_EQ(WindowFrame::text({10.6, -0.5, 1360.4, 800}), "11 -1 1360 800");
    for (const char* bad : {"", "1 2 3", "1 2 3 4 5", "a b c d", "1 2 1400 nan", "1 2 inf 900",
                            "{{0, 0}, {1400, 900}}", "1,2,3,4"})
        EXPECT_FALSE(WindowFrame::parse(bad)) << bad;
}

TEST(WindowFrame, OnlyLargeEnoughFramesThatMeetAScreenAreRestoredAndTheyAreBroughtOntoIt) {
    const std::vector<Rect> rooms = {{0, 0, 2560, 1440}, {2560, 0, 1920, 1080}};
    struct Row {
        const char* text;
        std::optional<Rect> restored;
    };
    const Row rows[] = {
        {"100 100 1360 800", Rect{100, 100, 1360, 800}},
        {"100 100 1359 900", std::nullopt},
        {"100 100 1400 799", std::nullopt},
        {"3000 100 1400 900", Rect{3000, 100, 1400, 900}},
        {"5000 200 1400 900", std::nullopt},
        {"-1400 0 1400 900", std::nullopt},
        {"0 1440 1400 900", std::nullopt},
        {"garbage", std::nullopt},
        // Partly off its screen: moved onto it, onto the one it meets most.
        {"-1399 0 1400 900", Rect{0, 0, 1400, 900}},
        {"3000 200 1400 900", Rect{3000, 180, 1400, 900}},
        {"1800 100 1400 900", Rect{1160, 100, 1400, 900}},
        {"2500 100 1400 900", Rect{2560, 100, 1400, 900}},
        // Larger than its screen: as large as the screen.
        {"3000 -50 2000 1200", Rect{2560, 0, 1920, 1080}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(WindowFrame::restorable(row.text, rooms), row.restored) << row.text;
    EXPECT_FALSE(WindowFrame::restorable("100 100 1400 900", {}));
}

// A laptop's 1366 × 768 less a panel of 32 points, and a netbook's 1024 × 600: the window may be as
// small as the screen, and a frame kept from a larger screen comes back whole on the small one.
TEST(WindowFrame, OnAScreenSmallerThanTheMinimumTheScreenIsTheLimit) {
    const Rect laptop{0, 32, 1366, 736};
    const Rect netbook{0, 0, 1024, 600};
    EXPECT_EQ(WindowFrame::minimumSize({0, 0, 2560, 1440}), (Size{1360, 800}));
    EXPECT_EQ(WindowFrame::minimumSize(laptop), (Size{1360, 736}));
    EXPECT_EQ(WindowFrame::minimumSize(netbook), (Size{1024, 600}));
    EXPECT_EQ(WindowFrame::minimumSize({0, 0, 0, 0}), (Size{0, 0}));
    // The window manager's frame, a 20-point title bar and 2-point borders, takes its part.
    const Rect framed = WindowFrame::room(laptop, {2, 20, 2, 2});
    EXPECT_EQ(framed, (Rect{2, 52, 1362, 714}));
    EXPECT_EQ(WindowFrame::minimumSize(framed), (Size{1360, 714}));
    EXPECT_EQ(WindowFrame::room({0, 0, 10, 10}, {2, 20, 2, 2}), (Rect{2, 20, 6, 0}));

    EXPECT_EQ(WindowFrame::restorable("20 30 1600 981", {netbook}), (Rect{0, 0, 1024, 600}));
    EXPECT_EQ(WindowFrame::restorable("0 0 1366 800", {laptop}), (Rect{0, 32, 1366, 736}));
    EXPECT_EQ(WindowFrame::restorable("100 100 1024 600", {netbook}), (Rect{0, 0, 1024, 600}));
    EXPECT_FALSE(WindowFrame::restorable("0 0 1023 600", {netbook}));
    EXPECT_EQ(WindowFrame::fitted({10, 40, 1400, 900}, laptop), (Rect{0, 32, 1366, 736}));
    EXPECT_EQ(WindowFrame::fitted({10, 40, 500, 400}, laptop), (Rect{10, 40, 500, 400}));
}

TEST(RecentFolderPresentation, NameAndLocationWithHomeAbbreviated) {
    struct Row {
        const char* path;
        const char* home;
        RecentFolderPresentation expected;
    };
    const Row rows[] = {
        {"/home/aki/Photos", "/home/aki", {"Photos", "~"}},
        {"/home/aki/Pictures/2024 旅行", "/home/aki/", {"2024 旅行", "~/Pictures"}},
        {"/home/akira/Photos", "/home/aki", {"Photos", "/home/akira"}},
        {"/media/card/DCIM/", "/home/aki", {"DCIM", "/media/card"}},
        {"/photos", "/home/aki", {"photos", "/"}},
        {"/", "/home/aki", {"/", ""}},
        {"/home/aki", "/home/aki", {"aki", "/home"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(RecentFolderPresentation::make(row.path, row.home), row.expected) << row.path;
}

TEST(LoadingProgress, CounterAndBarBeforeAndAfterCounting) {
    EXPECT_EQ(LoadingProgress::counterText(0, 0), "0 / 0");
    EXPECT_EQ(LoadingProgress::counterText(1200, 1200), "1200 / 1200");
    EXPECT_EQ(LoadingProgress::barTotal(0), 1.0);
    EXPECT_EQ(LoadingProgress::barTotal(1200), 1200.0);
}

// The loading screen says what it waits for: this copy's own save, or which other copy of the
// program holds the folder's record, on this machine or another.
TEST(LoadingProgress, AWaitNamesWhatItWaitsFor) {
    EXPECT_EQ(LoadingProgress::waitText(RecordWait{}), "保存が終わるのを待っています");
    EXPECT_EQ(LoadingProgress::waitText(RecordWait{SelectionRecordHolder{4312, ""}}),
              "別に起動している Sorvin（プロセス 4312）がこのフォルダを開いています。閉じるのを待っています");
    EXPECT_EQ(LoadingProgress::waitText(RecordWait{SelectionRecordHolder{77, "studio"}}),
              "別に起動している Sorvin（studio のプロセス "
              "77）がこのフォルダを開いています。閉じるのを待っています");
    EXPECT_EQ(LoadingProgress::waitText(RecordWait{SelectionRecordHolder{}}),
              "別に起動している Sorvin がこのフォルダを開いています。閉じるのを待っています");
}

} // namespace
} // namespace sorvin
