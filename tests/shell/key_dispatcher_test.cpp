#include "shell/key_code.hpp"
#include "shell/key_dispatcher.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

using M = AdjustmentKeyModifiers;
namespace K = KeyCommands;

KeyEvent down(std::uint16_t code, M modifiers = {}, bool repeat = false) {
    return {KeyEvent::Type::keyDown, code, modifiers, repeat};
}
KeyEvent up(std::uint16_t code) {
    return {KeyEvent::Type::keyUp, code, {}, false};
}

KeyDispatchContext basicPage() {
    KeyDispatchContext context;
    context.hasCurrentPhoto = true;
    for (const auto& row : ParameterKeyBinding::bindings)
        context.pageSlots.push_back(row.parameter);
    return context;
}

template <class T>
std::optional<T> commandOf(const KeyDecision& decision) {
    if (!decision.command) return std::nullopt;
    const T* command = std::get_if<T>(&*decision.command);
    return command ? std::optional<T>(*command) : std::nullopt;
}

class KeyDispatcherTest : public ::testing::Test {
protected:
    KeyDispatcher dispatcher;
    KeyDispatchContext context = basicPage();

    std::optional<int> exposureStep(const KeyEvent& event) {
        const KeyDecision decision = dispatcher.handle(event, context);
        const auto adjust = commandOf<K::AdjustParameter>(decision);
        if (!adjust) return std::nullopt;
        EXPECT_EQ(adjust->parameter, PhotoParameter::exposure);
        return adjust->by;
    }
};

TEST_F(KeyDispatcherTest, PairKeysStepAndPressingBothResetsOnceUntilBothAreUp) {
    EXPECT_EQ(exposureStep(down(KeyCode::a)), 1);
    EXPECT_EQ(exposureStep(down(KeyCode::a, {}, true)), 1); // the system's repeat keeps stepping
    const KeyDecision both = dispatcher.handle(down(KeyCode::z), context);
    ASSERT_TRUE(both.consumed);
    ASSERT_TRUE(commandOf<K::ResetParameter>(both));
    EXPECT_EQ(commandOf<K::ResetParameter>(both)->parameter, PhotoParameter::exposure);
    // Latched: neither key steps while one of them is held.
    EXPECT_FALSE(exposureStep(down(KeyCode::a, {}, true)));
    EXPECT_TRUE(dispatcher.handle(up(KeyCode::a), context).consumed);
    EXPECT_FALSE(exposureStep(down(KeyCode::z, {}, true)));
    EXPECT_TRUE(dispatcher.handle(up(KeyCode::z), context).consumed);
    EXPECT_TRUE(dispatcher.keyState().heldKeys.empty());
    EXPECT_TRUE(dispatcher.keyState().resetLatched.empty());
    EXPECT_EQ(exposureStep(down(KeyCode::z)), -1);
}

TEST_F(KeyDispatcherTest, ShiftStepsLargeWithoutTouchingHeldKeysAndOtherModifiersPassThrough) {
    EXPECT_EQ(exposureStep(down(KeyCode::a, M{M::shift})), 5);
    EXPECT_EQ(exposureStep(down(KeyCode::z, M{M::shift})), -5);
    EXPECT_TRUE(dispatcher.keyState().heldKeys.empty());
    const KeyDecision option = dispatcher.handle(down(KeyCode::a, M{M::option}), context);
    EXPECT_FALSE(option.consumed);
    EXPECT_FALSE(option.command);
}

TEST_F(KeyDispatcherTest, MaskCentreStepsInTenthsAndEmptySlotsAreConsumedSilently) {
    context.pageSlots.assign(10, std::nullopt);
    context.pageSlots[0] = PhotoParameter::circular_mask_center_x;
    const auto plain = commandOf<K::AdjustParameter>(dispatcher.handle(down(KeyCode::a), context));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->by, 10);
    const auto large =
        commandOf<K::AdjustParameter>(dispatcher.handle(down(KeyCode::z, M{M::shift}), context));
    ASSERT_TRUE(large);
    EXPECT_EQ(large->by, -50);
    const KeyDecision empty = dispatcher.handle(down(KeyCode::s), context);
    EXPECT_TRUE(empty.consumed);
    EXPECT_FALSE(empty.command);
    // A short page (fewer columns than keys) behaves like empty columns.
    context.pageSlots.resize(2);
    EXPECT_TRUE(dispatcher.handle(down(KeyCode::slash), context).consumed);
}

TEST_F(KeyDispatcherTest, FocusModalsAndMetaPassEveryKeyDown) {
    const std::uint16_t codes[] = {KeyCode::a, KeyCode::space, KeyCode::down, KeyCode::digit1, KeyCode::tab};
    for (int blocker = 0; blocker < 3; ++blocker) {
        KeyDispatchContext blocked = basicPage();
        M modifiers;
        if (blocker == 0) blocked.fieldFocused = true;
        if (blocker == 1) blocked.modalUp = true;
        if (blocker == 2) modifiers = M{M::control};
        for (std::uint16_t code : codes) {
            const KeyDecision decision = dispatcher.handle(down(code, modifiers), blocked);
            EXPECT_FALSE(decision.consumed) << blocker << " " << code;
            EXPECT_FALSE(decision.command);
        }
    }
    EXPECT_TRUE(dispatcher.keyState().heldKeys.empty());
}

TEST_F(KeyDispatcherTest, ReleasingAnArrowStopsTheWalkButPassesWhileAFieldHasFocus) {
    context.holdAdvanceKeyCode = KeyCode::down;
    KeyDecision released = dispatcher.handle(up(KeyCode::down), context);
    EXPECT_TRUE(released.consumed);
    EXPECT_TRUE(commandOf<K::StopHoldAdvance>(released));
    // Up released while Down is the held key: consumed, the walk goes on.
    released = dispatcher.handle(up(KeyCode::up), context);
    EXPECT_TRUE(released.consumed);
    EXPECT_FALSE(released.command);
    context.fieldFocused = true;
    released = dispatcher.handle(up(KeyCode::up), context);
    EXPECT_FALSE(released.consumed);
    EXPECT_TRUE(commandOf<K::StopHoldAdvance>(released));
}

TEST_F(KeyDispatcherTest, ArrowsWalkRotateAndJumpAndSystemRepeatsAreSwallowed) {
    const auto start = commandOf<K::StartHoldAdvance>(dispatcher.handle(down(KeyCode::down), context));
    ASSERT_TRUE(start);
    EXPECT_EQ(start->direction, 1);
    EXPECT_EQ(start->keyCode, KeyCode::down);
    EXPECT_EQ(commandOf<K::StartHoldAdvance>(dispatcher.handle(down(KeyCode::up), context))->direction, -1);
    const KeyDecision repeat = dispatcher.handle(down(KeyCode::down, {}, true), context);
    EXPECT_TRUE(repeat.consumed);
    EXPECT_FALSE(repeat.command);
    EXPECT_EQ(commandOf<K::Rotate>(dispatcher.handle(down(KeyCode::left), context))->degrees, -0.5);
    EXPECT_EQ(commandOf<K::Rotate>(dispatcher.handle(down(KeyCode::right), context))->degrees, 0.5);
    EXPECT_EQ(commandOf<K::Rotate>(dispatcher.handle(down(KeyCode::left, M{M::shift}), context))->degrees,
              -90);
    EXPECT_TRUE(commandOf<K::JumpToEnd>(dispatcher.handle(down(KeyCode::down, M{M::shift}), context)));
    EXPECT_TRUE(commandOf<K::JumpToStart>(dispatcher.handle(down(KeyCode::up, M{M::shift}), context)));
    EXPECT_EQ(commandOf<K::MoveCrop>(dispatcher.handle(down(KeyCode::up, M{M::command}), context))->direction,
              CropDirection::up);
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::up, M{M::command, M::shift}), context).consumed);
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::left, M{M::option}), context).consumed);
}

TEST_F(KeyDispatcherTest, DigitsPickCurvesWithAPhotoAndPresetsWithCtrl) {
    EXPECT_EQ(commandOf<K::SelectCurveChannel>(dispatcher.handle(down(KeyCode::digit3), context))->channel,
              PointCurveChannel::green);
    EXPECT_EQ(
        commandOf<K::ApplyPreset>(dispatcher.handle(down(KeyCode::digit1, M{M::command}), context))->index,
        0);
    EXPECT_EQ(
        commandOf<K::ApplyPreset>(dispatcher.handle(down(KeyCode::digit8, M{M::command}), context))->index,
        7);
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::digit9, M{M::command, M::shift}), context).consumed);
    context.hasCurrentPhoto = false;
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::digit1), context).consumed);
    // Ctrl+C without a photo passes at once, even though nothing later would take it either.
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::c, M{M::command}), context).consumed);
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::r, M{M::command}), context).consumed);
    context.hasCurrentPhoto = true;
    EXPECT_EQ(
        commandOf<K::ParameterClipboard>(dispatcher.handle(down(KeyCode::v, M{M::command}), context))->action,
        ParameterClipboardAction::paste);
    EXPECT_EQ(commandOf<K::Shortcut>(dispatcher.handle(down(KeyCode::r, M{M::command}), context))->action,
              SelectShortcutAction::randomizeParameters);
}

TEST_F(KeyDispatcherTest, PageKeysFollowTheEditTargetAndTheSource) {
    const std::uint16_t letters[] = {KeyCode::q, KeyCode::w, KeyCode::e, KeyCode::r,
                                     KeyCode::t, KeyCode::y, KeyCode::u, KeyCode::i};
    for (int page = 0; page < 8; ++page)
        EXPECT_EQ(commandOf<K::SelectParameterTab>(dispatcher.handle(down(letters[page]), context))->page,
                  page);
    EXPECT_EQ(commandOf<K::SelectParameterTab>(dispatcher.handle(down(KeyCode::digit5), context))->page, 11);
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::o), context).consumed); // global target, JPEG
    context.currentPhotoIsRaw = true;
    EXPECT_EQ(commandOf<K::SelectParameterTab>(dispatcher.handle(down(KeyCode::o), context))->page, 9);
    context.editTarget = ParameterEditTarget::mask(1);
    EXPECT_EQ(commandOf<K::SelectParameterTab>(dispatcher.handle(down(KeyCode::o), context))->page, 8);
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::digit5), context).consumed);
}

TEST_F(KeyDispatcherTest, SpaceHeartsEscapeOnlyLeavesTheFilterAndTabSwitchesSource) {
    EXPECT_TRUE(commandOf<K::ToggleHeart>(dispatcher.handle(down(KeyCode::space), context)));
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::escape), context).consumed);
    context.isFiltered = true;
    EXPECT_TRUE(commandOf<K::DisableFilter>(dispatcher.handle(down(KeyCode::escape), context)));
    EXPECT_EQ(commandOf<K::Shortcut>(dispatcher.handle(down(KeyCode::tab), context))->action,
              SelectShortcutAction::toggleSource);
    EXPECT_EQ(commandOf<K::Shortcut>(dispatcher.handle(down(KeyCode::equal, M{M::shift}), context))->action,
              SelectShortcutAction::resetCrop);
    EXPECT_TRUE(
        commandOf<K::ToggleCropInsideOnly>(dispatcher.handle(down(KeyCode::k, M{M::command}), context)));
    EXPECT_EQ(commandOf<K::ResizeCrop>(dispatcher.handle(down(KeyCode::digit9, M{M::command}), context))->by,
              -1);
    EXPECT_TRUE(commandOf<K::AutoStraighten>(dispatcher.handle(down(KeyCode::t, M{M::shift}), context)));
    EXPECT_FALSE(dispatcher.handle(down(KeyCode::grave), context).consumed);
}

} // namespace
} // namespace sorvin
