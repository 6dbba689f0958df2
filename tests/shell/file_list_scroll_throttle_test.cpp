#include "shell/file_list_scroll_throttle.hpp"
#include "support/manual_main_queue.hpp"

#include <gtest/gtest.h>
#include <vector>

namespace sorvin {
namespace {

// Records when the list was asked to scroll; the row is off screen unless told otherwise.
struct ListProbe {
    explicit ListProbe(test::ManualMainQueue& q) : queue(q) {}
    test::ManualMainQueue& queue;
    bool offScreen = true;
    std::vector<double> checks;
    std::vector<double> scrolls;
    FileListScrollThrottle::ScrollIfNeeded callback() {
        return [this] {
            checks.push_back(queue.now());
            if (offScreen) scrolls.push_back(queue.now());
            return offScreen;
        };
    }
};

TEST(FileListScrollThrottleTest, AHeldKeyScrollsAtMostEveryTwelveHundredthsAndOnceAfterTheBurst) {
    test::ManualMainQueue queue;
    FileListScrollThrottle throttle(queue);
    ListProbe probe(queue);
    // 20 steps per second for half a second.
    for (int i = 0; i < 10; ++i) {
        throttle.navigation(probe.callback());
        queue.advance(0.05);
    }
    queue.advance(1.0);
    // Steps at 0, 0.05 ... 0.45: scrolls at 0, 0.15, 0.30, 0.45 then the trailing one at 0.60.
    ASSERT_EQ(probe.scrolls.size(), 5u);
    EXPECT_DOUBLE_EQ(probe.scrolls[0], 0.0);
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_GE(probe.scrolls[i] - probe.scrolls[i - 1],
                  FileListScrollThrottle::kMinimumScrollInterval - 1e-9);
    EXPECT_NEAR(probe.scrolls.back(), 0.45 + FileListScrollThrottle::kBurstGap, 1e-9);
    EXPECT_FALSE(throttle.hasTrailingScroll());
}

TEST(FileListScrollThrottleTest, MovementsFarApartEachScrollAtOnce) {
    test::ManualMainQueue queue;
    FileListScrollThrottle throttle(queue);
    ListProbe probe(queue);
    throttle.navigation(probe.callback());
    queue.advance(0.2);
    throttle.navigation(probe.callback());
    EXPECT_EQ(probe.scrolls, (std::vector<double>{0.0, 0.15, 0.2}));
}

TEST(FileListScrollThrottleTest, AVisibleRowRequestsNoScrollAndDoesNotCountAsOne) {
    test::ManualMainQueue queue;
    FileListScrollThrottle throttle(queue);
    ListProbe probe(queue);
    probe.offScreen = false;
    throttle.navigation(probe.callback());
    queue.advance(0.05);
    probe.offScreen = true;
    // No scroll has happened yet in this burst, so this one may scroll at once.
    throttle.navigation(probe.callback());
    EXPECT_EQ(probe.scrolls, (std::vector<double>{0.05}));
}

TEST(FileListScrollThrottleTest, TwoMovementsAtOneInstantScrollOnceThenTrail) {
    test::ManualMainQueue queue;
    FileListScrollThrottle throttle(queue);
    ListProbe probe(queue);
    throttle.navigation(probe.callback());
    throttle.navigation(probe.callback());
    EXPECT_EQ(probe.scrolls.size(), 1u);
    queue.advance(0.2);
    EXPECT_EQ(probe.scrolls, (std::vector<double>{0.0, 0.15}));
}

TEST(FileListScrollThrottleTest, CancelDropsTheTrailingScrollAndEndsTheBurst) {
    test::ManualMainQueue queue;
    FileListScrollThrottle throttle(queue);
    ListProbe probe(queue);
    throttle.navigation(probe.callback());
    queue.advance(0.05);
    throttle.cancel();
    queue.advance(1.0);
    EXPECT_EQ(probe.checks.size(), 1u);
    EXPECT_EQ(throttle.lastScrollTime(), 0.0);
    // A movement right after a cancel starts a new burst and scrolls at once.
    throttle.navigation(probe.callback());
    EXPECT_EQ(probe.scrolls.size(), 2u);
}

TEST(FileListScrollThrottleTest, ADestroyedThrottleNeverScrollsAgain) {
    test::ManualMainQueue queue;
    ListProbe probe(queue);
    {
        FileListScrollThrottle throttle(queue);
        throttle.navigation(probe.callback());
    }
    queue.advance(1.0);
    EXPECT_EQ(probe.checks.size(), 1u);
}

} // namespace
} // namespace sorvin
