#include "shell/hold_advance_repeater.hpp"
#include "shell/key_code.hpp"
#include "support/manual_main_queue.hpp"

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

TEST(HoldAdvanceRepeaterPacing, StepsKeepToDeadlinesWhateverTheirWorkCostsAndALateStepCausesNoBurst) {
    double clock = 0;
    double work = 0.03; // what each step costs
    std::vector<double> delays;
    std::function<void()> pending;
    HoldAdvanceScheduler timed{[&](std::function<void()> action, double delay) {
                                   delays.push_back(delay);
                                   pending = std::move(action);
                                   return HoldAdvanceScheduler::Cancel([] {});
                               },
                               [&] { return clock; }};
    HoldAdvanceRepeater repeater{timed};
    repeater.start(
        KeyCode::down, 1, [] { return 10; },
        [&](int) {
            clock += work;
            return true;
        });
    const auto runPending = [&] {
        clock += delays.back();
        pending();
    };
    runPending();
    runPending();
    work = 0.25; // a step far slower than the interval
    runPending();
    work = 0.03;
    runPending();
    ASSERT_EQ(delays.size(), 5u);
    EXPECT_NEAR(delays[0], 0.25 - 0.03, 1e-9) << "the first repeat is due a quarter second after the press";
    EXPECT_NEAR(delays[1], 0.1 - 0.03, 1e-9);
    EXPECT_NEAR(delays[2], 0.1 - 0.03, 1e-9);
    EXPECT_NEAR(delays[3], 0, 1e-9) << "late: the next step follows at once";
    EXPECT_NEAR(delays[4], 0.1 - 0.03, 1e-9) << "and the deadlines start again from it";
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
