#include "canvas/photo_interaction.hpp"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace sorvin {
namespace {

struct ScrollCase {
    double deltaY;
    bool precise;
    bool momentum;
    int steps;
    double kept;
};

TEST(ScrollAdvanceAccumulator, PaysOutWholeStepsInSequence) {
    // One sequence of events at 60 points per step; each row sees the state the previous left.
    const ScrollCase sequence[] = {
        {50, true, false, 0, 50},   {50, true, false, 1, 40},
        {500, true, false, 3, 360}, // at most three per event, the rest stays
        {10, true, false, 3, 190},  {0, true, false, 0, 190},
        {-30, true, true, 0, 190},  // momentum never advances
        {-30, true, false, 0, -30}, // a reversal starts again
        {-15, false, false, -1, 0}, // a wheel notch (15 degrees) is one step
        {7.5, false, false, 0, 7.5}, // half notches of a fine wheel wait for the other half
        {7.5, false, false, 1, 0},
        {50, false, false, 3, 5},
        {30, true, false, 0, 30},   // the trackpad starts afresh after the wheel
    };
    ScrollAdvanceAccumulator accumulator;
    for (const auto& c : sequence) {
        EXPECT_EQ(accumulator.consume(c.deltaY, c.precise, c.momentum, 60), c.steps) << c.deltaY;
        EXPECT_DOUBLE_EQ(accumulator.accumulatedDeltaY, c.kept) << c.deltaY;
    }
}

TEST(ScrollAdvanceAccumulator, DeltasThatAreNoNumberAreIgnored) {
    ScrollAdvanceAccumulator accumulator;
    EXPECT_EQ(accumulator.consume(30, true, false, 60), 0);
    EXPECT_EQ(accumulator.consume(std::nan(""), true, false, 60), 0);
    EXPECT_EQ(accumulator.consume(std::numeric_limits<double>::infinity(), true, false, 60), 0);
    EXPECT_EQ(accumulator.consume(30, true, false, 60), 1);
    EXPECT_DOUBLE_EQ(accumulator.accumulatedDeltaY, 0);
}

TEST(ScrollAdvanceAccumulator, UnusableStepSizesCountAsSixty) {
    for (double pointsPerStep : {0.0, -5.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        ScrollAdvanceAccumulator accumulator;
        EXPECT_EQ(accumulator.consume(59, true, false, pointsPerStep), 0);
        EXPECT_EQ(accumulator.consume(1, true, false, pointsPerStep), 1);
    }
}

// Records what the pointer input calls, in order.
struct Recorder {
    std::vector<std::string> calls;
    std::vector<CircularMaskPointerStyle> cursors;
    std::vector<bool> advanceAnswers;
    std::optional<MaskDragSession> sessionToStart;

    PhotoInteractionInputs inputs() {
        PhotoInteractionInputs in;
        in.magnify = [this](double f, Point p) { log("magnify", f, p.x); };
        in.pan = [this](Size d) { log("pan", d.width, d.height); };
        in.scrollAdvance = [this](int step) {
            log("advance", step, 0);
            const bool answer = advanceAnswers.empty() ? true : advanceAnswers.front();
            if (!advanceAnswers.empty()) advanceAnswers.erase(advanceAnswers.begin());
            return answer;
        };
        in.scrollPointsPerStep = [] { return 60.0; };
        in.allowsScrollAdvance = true;
        in.maskDragBegan = [this](Point p) {
            log("begin", p.x, p.y);
            return sessionToStart;
        };
        in.maskDragged = [this](Point p, const MaskDragSession&) { log("mask", p.x, p.y); };
        in.maskPointerStyle = [](Point, bool dragging) {
            return dragging ? CircularMaskPointerStyle::closedHand : CircularMaskPointerStyle::crosshair;
        };
        in.singleClick = [this] { calls.push_back("click"); };
        in.doubleClick = [this] { calls.push_back("double"); };
        in.mouseMoved = [this](Point p, bool inside) { log(inside ? "move" : "left", p.x, p.y); };
        return in;
    }
    void log(const std::string& name, double a, double b) {
        calls.push_back(name + " " + std::to_string(static_cast<int>(a * 10)) + " " +
                        std::to_string(static_cast<int>(b * 10)));
    }
};

struct PhotoInteractionTest : ::testing::Test {
    Recorder recorder;
    PhotoInteraction interaction{[this](CircularMaskPointerStyle s) { recorder.cursors.push_back(s); }};
};

TEST_F(PhotoInteractionTest, DragWithoutMaskSessionPansByThePointerMovement) {
    interaction.apply(recorder.inputs());
    interaction.mouseDown({10, 10}, 1);
    interaction.mouseDragged({15, 7});
    interaction.mouseDragged({16, 7});
    interaction.mouseUp({16, 7});
    interaction.mouseDragged({20, 20}); // after the release nothing pans
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"click", "begin 100 100", "pan 50 -30", "move 150 70",
                                                        "pan 10 0", "move 160 70", "move 200 200"}));
}

TEST_F(PhotoInteractionTest, MaskSessionTakesTheDragAndTheCursorClosesWhileHeld) {
    recorder.sessionToStart = CircularMaskDragSession{CircularMaskMove{}};
    interaction.apply(recorder.inputs());
    recorder.cursors.clear();
    interaction.mouseDown({10, 10}, 3); // a triple click is a single click
    interaction.mouseDragged({12, 10});
    interaction.mouseUp({12, 10});
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"click", "begin 100 100", "mask 120 100", "move 120 100"}));
    EXPECT_EQ(recorder.cursors, (std::vector<CircularMaskPointerStyle>{CircularMaskPointerStyle::closedHand,
                                                                       CircularMaskPointerStyle::closedHand,
                                                                       CircularMaskPointerStyle::crosshair}));
    EXPECT_FALSE(interaction.maskDragSession());
}

TEST_F(PhotoInteractionTest, DoubleClickEndsTheDragAndTheNextDragOnlyRecords) {
    recorder.sessionToStart = CircularMaskDragSession{CircularMaskMove{}};
    interaction.apply(recorder.inputs());
    interaction.mouseDown({10, 10}, 1);
    interaction.mouseDown({10, 10}, 2);
    EXPECT_FALSE(interaction.maskDragSession());
    recorder.calls.clear();
    interaction.mouseDragged({14, 10});
    interaction.mouseDragged({18, 10});
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"move 140 100", "pan 40 0", "move 180 100"}));
}

// A drag whose photo, copy, file or mask tab changes under it ends there, as at a release: the rest
// of it neither drags the mask nor pans, the hand opens as soon as the canvas redraws, and the
// next press starts afresh.
TEST_F(PhotoInteractionTest, ADragEndsWhenWhatItWorksOnChangesUnderIt) {
    const DragSubject first{nullptr, "a.jpg", RetouchSlot::a, PhotoSource::jpeg, ParameterEditTarget::mask(0)};
    std::vector<DragSubject> changes(4, first);
    changes[0].photo = "b.jpg";
    changes[1].slot = RetouchSlot::b;
    changes[2].source = PhotoSource::raw;
    changes[3].target = ParameterEditTarget::mask(1);
    DragSubject now = first;
    const auto inputs = [&] {
        PhotoInteractionInputs in = recorder.inputs();
        in.dragSubject = [&now] { return now; };
        return in;
    };
    const char* names[] = {"photo", "copy", "file", "mask tab"};
    for (std::size_t i = 0; i < changes.size(); ++i) {
        const DragSubject& changed = changes[i];
        for (const bool onAMask : {true, false}) {
            for (const bool redrawnFirst : {true, false}) {
                SCOPED_TRACE(std::string(names[i]) + (onAMask ? ", mask" : ", pan") + (redrawnFirst ? ", redrawn" : ""));
                now = first;
                recorder.sessionToStart =
                    onAMask ? std::optional<MaskDragSession>(CircularMaskDragSession{CircularMaskMove{}})
                            : std::nullopt;
                interaction.apply(inputs());
                interaction.mouseDown({10, 10}, 1);
                interaction.mouseDragged({12, 10});
                EXPECT_EQ(recorder.calls.at(recorder.calls.size() - 2), onAMask ? "mask 120 100" : "pan 20 0");
                now = changed;
                if (redrawnFirst) {
                    interaction.apply(inputs());
                    EXPECT_EQ(recorder.cursors.back(), CircularMaskPointerStyle::crosshair) << "the hand opens";
                }
                recorder.calls.clear();
                interaction.mouseDragged({20, 10});
                EXPECT_FALSE(interaction.maskDragSession());
                interaction.mouseUp({20, 10});
                EXPECT_EQ(recorder.calls, (std::vector<std::string>{"move 200 100"}));

                recorder.calls.clear();
                interaction.mouseDown({10, 10}, 1);
                interaction.mouseDragged({11, 10});
                interaction.mouseUp({11, 10});
                EXPECT_EQ(recorder.calls.at(2), onAMask ? "mask 110 100" : "pan 10 0") << "a new drag";
                recorder.calls.clear();
            }
        }
    }
}

TEST_F(PhotoInteractionTest, LeavingReportsOutsideForgetsThePointerAndShowsTheArrow) {
    interaction.apply(recorder.inputs());
    interaction.mouseMoved({3, 4});
    ASSERT_TRUE(interaction.lastPointerLocation());
    interaction.mouseExited({-1, 4});
    EXPECT_EQ(recorder.calls.back(), "left -10 40");
    EXPECT_FALSE(interaction.lastPointerLocation());
    EXPECT_EQ(recorder.cursors.back(), CircularMaskPointerStyle::arrow);
}

TEST_F(PhotoInteractionTest, ScrollingAdvancesUntilRefusedOrPansAZoomedPhoto) {
    interaction.apply(recorder.inputs());
    recorder.advanceAnswers = {false, true, true};
    EXPECT_TRUE(interaction.scroll({0, 200, true, false}));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"advance 10 0"}));
    EXPECT_EQ(interaction.scrollAdvanceAccumulator(), ScrollAdvanceAccumulator{});

    recorder.calls.clear();
    EXPECT_TRUE(interaction.scroll({0, -130, true, false}));
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"advance -10 0", "advance -10 0"}));

    auto zoomed = recorder.inputs();
    zoomed.scrollPansPhoto = true;
    interaction.apply(zoomed);
    EXPECT_EQ(interaction.scrollAdvanceAccumulator(), ScrollAdvanceAccumulator{});
    recorder.calls.clear();
    EXPECT_TRUE(interaction.scroll({3, -4, true, true})); // momentum pans too
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"pan 30 -40"}));

    auto blocked = recorder.inputs();
    blocked.allowsScrollAdvance = false;
    interaction.apply(blocked);
    EXPECT_FALSE(interaction.scroll({0, 100, false, false}));
}

TEST_F(PhotoInteractionTest, PinchPassesARelativeFactorAndInputsRefreshTheCursor) {
    interaction.apply(recorder.inputs());
    interaction.magnify(0.5, {7, 0});
    EXPECT_EQ(recorder.calls.back(), "magnify 15 70");
    EXPECT_EQ(recorder.cursors.back(), CircularMaskPointerStyle::arrow); // no pointer yet
    interaction.mouseMoved({1, 1});
    auto plain = recorder.inputs();
    plain.maskPointerStyle = nullptr;
    interaction.apply(plain);
    EXPECT_EQ(recorder.cursors.back(), CircularMaskPointerStyle::arrow);
    interaction.apply(recorder.inputs());
    EXPECT_EQ(recorder.cursors.back(), CircularMaskPointerStyle::crosshair);
}

} // namespace
} // namespace sorvin

namespace sorvin {
namespace {

TEST(PhotoInteraction, AnActionMayReplaceTheInputsWhileItRuns) {
    PhotoInteraction interaction;
    int moves = 0;
    std::function<PhotoInteractionInputs()> make = [&] {
        PhotoInteractionInputs in;
        // Redrawing on every movement applies fresh closures from inside the old one.
        in.mouseMoved = [&, marker = std::vector<int>(64, 1)](Point, bool) {
            ++moves;
            interaction.apply(make());
            EXPECT_EQ(marker.size(), 64u);
        };
        return in;
    };
    interaction.apply(make());
    interaction.mouseMoved({1, 1});
    interaction.mouseDown({1, 1}, 1);
    interaction.mouseDragged({2, 2});
    EXPECT_EQ(moves, 2);
}

} // namespace
} // namespace sorvin
