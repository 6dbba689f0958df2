#include "shell/hold_advance_repeater.hpp"
#include "shell/key_code.hpp"
#include "support/manual_main_queue.hpp"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace sorvin {
namespace {

struct Walk {
    int position = 0;
    int last = 100;
    int rate = 10;
    bool advance(int by) {
        const int next = position + by;
        if (next < 0 || next > last) return false;
        position = next;
        return true;
    }
};

class HoldAdvanceRepeaterTest : public ::testing::Test {
protected:
    test::ManualMainQueue queue;
    Walk walk;
    HoldAdvanceRepeater repeater{HoldAdvanceScheduler::live(queue)};

    void hold(std::uint16_t code, int direction) {
        repeater.start(
            code, direction, [this] { return walk.rate; }, [this](int by) { return walk.advance(by); });
    }
};

TEST_F(HoldAdvanceRepeaterTest, OneStepAtOnceThenAfterAQuarterSecondThenAtTheRate) {
    hold(KeyCode::down, 1);
    EXPECT_EQ(walk.position, 1);
    queue.advance(0.24);
    EXPECT_EQ(walk.position, 1);
    queue.advance(0.02);
    EXPECT_EQ(walk.position, 2);
    queue.advance(0.5); // five steps at 10 per second
    EXPECT_EQ(walk.position, 7);
    walk.rate = 100;    // clamped to 30 per second, read again at every step
    queue.advance(0.2); // one more step at the old pace, then three at a thirtieth of a second
    EXPECT_GE(walk.position, 10);
    EXPECT_LE(walk.position, 12);
    const int before = walk.position;
    repeater.stop();
    queue.advance(5);
    EXPECT_EQ(walk.position, before);
    EXPECT_FALSE(repeater.heldKeyCode());
    EXPECT_EQ(repeater.direction(), 0);
}

TEST_F(HoldAdvanceRepeaterTest, TheEndOfTheListStopsTheRepeat) {
    walk.position = 98;
    hold(KeyCode::down, 1);
    queue.advance(10);
    EXPECT_EQ(walk.position, 100);
    EXPECT_FALSE(repeater.heldKeyCode());
    // At the first photo a press moves nothing and schedules nothing.
    walk.position = 0;
    hold(KeyCode::up, -1);
    EXPECT_FALSE(repeater.heldKeyCode());
    queue.advance(1);
    EXPECT_EQ(walk.position, 0);
}

TEST_F(HoldAdvanceRepeaterTest, ANewHoldReplacesTheOldAndRateIsClampedBelow) {
    walk.position = 50;
    walk.rate = 0; // read as 2 per second
    hold(KeyCode::down, 1);
    hold(KeyCode::up, -1);
    EXPECT_EQ(walk.position, 50);
    EXPECT_EQ(repeater.heldKeyCode(), KeyCode::up);
    queue.advance(0.25);
    EXPECT_EQ(walk.position, 49);
    queue.advance(0.49);
    EXPECT_EQ(walk.position, 49);
    queue.advance(0.02);
    EXPECT_EQ(walk.position, 48);
}

// A hold on a clock of its own: step n (the press is step 0) costs workOf(n) seconds, and the step
// that was scheduled runs when its delay has passed.
struct TimedHold {
    double clock = 0;
    std::function<double(int)> workOf;
    std::vector<double> delays; // as the repeater asked them
    std::vector<double> starts; // of every step, the press included
    std::vector<double> ends;
    std::function<void()> pending;
    HoldAdvanceRepeater repeater{HoldAdvanceScheduler{[this](std::function<void()> action, double delay) {
                                                          delays.push_back(delay);
                                                          pending = std::move(action);
                                                          return HoldAdvanceScheduler::Cancel([] {});
                                                      },
                                                      [this] { return clock; }}};

    TimedHold(int rate, std::function<double(int)> work) : workOf(std::move(work)) {
        repeater.start(
            KeyCode::down, 1, [rate] { return rate; },
            [this](int) {
                starts.push_back(clock);
                clock += workOf(static_cast<int>(starts.size()) - 1);
                ends.push_back(clock);
                return true;
            });
    }
    void runUntil(double time) {
        while (clock + delays.back() <= time + 1e-9) {
            clock += delays.back();
            pending();
        }
    }
    int stepsBetween(double from, double to) const {
        return static_cast<int>(std::count_if(starts.begin(), starts.end(),
                                              [&](double t) { return t >= from - 1e-9 && t < to - 1e-9; }));
    }
};

TEST(HoldAdvanceRepeaterPacing, StepsKeepToDeadlinesAndMakeUpForALateStepWithoutHidingAPhoto) {
    TimedHold hold(10, [](int step) { return step == 3 ? 0.25 : 0.03; }); // the fourth step far slower
    hold.runUntil(0.8);
    ASSERT_GE(hold.delays.size(), 5u);
    EXPECT_NEAR(hold.delays[0], 0.25 - 0.03, 1e-9)
        << "the first repeat is due a quarter second after the press";
    EXPECT_NEAR(hold.delays[1], 0.1 - 0.03, 1e-9) << "the work of a step does not lengthen the interval";
    EXPECT_NEAR(hold.delays[2], 0.1 - 0.03, 1e-9);
    EXPECT_NEAR(hold.delays[3], 0.05, 1e-9) << "late: the next step still leaves its photo half an interval";
    EXPECT_NEAR(hold.delays[4], 0.05, 1e-9) << "and the steps after it make up for the delay";
    hold.runUntil(3);
    // Back on the deadlines set at the press: the pace asked is the pace reached.
    EXPECT_EQ(hold.stepsBetween(2, 3), 10);
    EXPECT_NEAR(hold.starts.back(), 2.95, 1e-9);
}

TEST(HoldAdvanceRepeaterPacing, AtThirtyPerSecondEveryPhotoGetsItsMomentAndALongStallCausesNoBurst) {
    // Steps of a few milliseconds, one stall of two intervals and one of a whole second.
    TimedHold hold(30, [](int step) {
        return step == 20 ? 0.07 : step == 50 ? 1.0 : 0.001 + 0.001 * (step % 5);
    });
    const double interval = 1.0 / 30;
    hold.runUntil(5);
    for (std::size_t i = 1; i < hold.starts.size(); ++i)
        EXPECT_GE(hold.starts[i] - hold.ends[i - 1], interval / 2 - 1e-9) << "step " << i;
    // The short stall is made up for: a full second later the count is what the pace asks.
    EXPECT_EQ(hold.stepsBetween(0, 1.25), 1 + 30);
    // After the long one, two intervals are made up at most.
    const double resumed = hold.ends[50];
    EXPECT_LE(hold.stepsBetween(resumed, resumed + 1), 30 + 2);
    EXPECT_GE(hold.stepsBetween(resumed + 1, resumed + 2), 29);
}

TEST(HoldAdvanceRepeaterLifetime, AStepOnItsWayAfterTheRepeaterIsGoneDoesNothing) {
    test::ManualMainQueue queue;
    int steps = 0;
    // A scheduler that never cancels, so the step is still queued when the repeater dies.
    HoldAdvanceScheduler leaky{[&queue](std::function<void()> action, double delay) {
                                   queue.postAfter(delay, std::move(action));
                                   return HoldAdvanceScheduler::Cancel([] {});
                               },
                               [&queue] { return queue.now(); }};
    auto repeater = std::make_unique<HoldAdvanceRepeater>(leaky);
    repeater->start(
        KeyCode::down, 1, [] { return 10; },
        [&steps](int) {
            ++steps;
            return true;
        });
    repeater.reset();
    queue.advance(1);
    EXPECT_EQ(steps, 1);
}

} // namespace
} // namespace sorvin
