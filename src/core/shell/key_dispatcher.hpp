#pragma once

#include "library/parameter_clipboard_command.hpp"
#include "model/manual_crop.hpp"
#include "model/parameter_edit_target.hpp"
#include "model/parameter_page.hpp"
#include "model/photo_parameter.hpp"
#include "shell/adjustment_key_modifiers.hpp"
#include "shell/keyboard_maps.hpp"

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace sorvin {

// One key event of the browsing screen, in the program's own terms: the layout-independent key
// code, the modifier set (Caps Lock, keypad and function flags already left out) and whether the
// system generated it by holding the key.
struct KeyEvent {
    enum class Type { keyDown, keyUp };
    Type type = Type::keyDown;
    std::uint16_t keyCode = 0;
    AdjustmentKeyModifiers modifiers;
    bool isAutoRepeat = false;
};

// What the dispatcher needs to know of the application at the moment of the key.
struct KeyDispatchContext {
    bool fieldFocused = false;
    bool modalUp = false;
    bool hasCurrentPhoto = false;
    bool isFiltered = false;
    bool currentPhotoIsRaw = false;
    ParameterEditTarget editTarget;
    // The parameters the open panel page shows in its ten columns (an empty column is none).
    std::vector<std::optional<PhotoParameter>> pageSlots;
    // The arrow key the hold-to-advance repeater is pacing, if any.
    std::optional<std::uint16_t> holdAdvanceKeyCode;
};

// The commands a key can ask for; each ends in one operation of the application state.
namespace KeyCommands {
struct AdjustParameter {
    PhotoParameter parameter;
    int by;
};
struct ResetParameter {
    PhotoParameter parameter;
};
struct SelectCurveChannel {
    PointCurveChannel channel;
};
struct ParameterClipboard {
    ParameterClipboardAction action;
};
struct ApplyPreset {
    int index;
};
struct Shortcut {
    SelectShortcutAction action;
};
struct AutoStraighten {};
struct ResetRotation {};
struct Rotate {
    double degrees;
};
struct JumpToStart {};
struct JumpToEnd {};
struct MoveCrop {
    CropDirection direction;
};
struct ToggleCropInsideOnly {};
struct ResizeCrop {
    int by;
};
struct SelectParameterTab {
    int page;
};
struct ToggleHeart {};
struct DisableFilter {};
// Starts pacing the walk through the photos: +1 next, -1 previous.
struct StartHoldAdvance {
    std::uint16_t keyCode;
    int direction;
};
struct StopHoldAdvance {};
// The original preview key went down (held) or up.
struct HoldOriginalPreview {
    bool held;
};
} // namespace KeyCommands

using KeyCommand =
    std::variant<KeyCommands::AdjustParameter, KeyCommands::ResetParameter, KeyCommands::SelectCurveChannel,
                 KeyCommands::ParameterClipboard, KeyCommands::ApplyPreset, KeyCommands::Shortcut,
                 KeyCommands::AutoStraighten, KeyCommands::ResetRotation, KeyCommands::Rotate,
                 KeyCommands::JumpToStart, KeyCommands::JumpToEnd, KeyCommands::MoveCrop,
                 KeyCommands::ToggleCropInsideOnly, KeyCommands::ResizeCrop, KeyCommands::SelectParameterTab,
                 KeyCommands::ToggleHeart, KeyCommands::DisableFilter, KeyCommands::StartHoldAdvance,
                 KeyCommands::StopHoldAdvance, KeyCommands::HoldOriginalPreview>;

// The answer to one key: whether the event is swallowed, and the command to run (a key that is
// passed on may still stop a running hold-to-advance).
struct KeyDecision {
    bool consumed = false;
    std::optional<KeyCommand> command;
};

// The keyboard of the browsing screen: decides, for every key-down and key-up, whether it is a
// command of the screen. Keeps only the state of the parameter key pairs.
class KeyDispatcher {
public:
    // The steps of one parameter key press (plain, with Shift); the circular mask centre runs in
    // tenths, so it steps tenfold.
    static constexpr int smallStep = 1;
    static constexpr int largeStep = 5;
    static int step(PhotoParameter parameter, bool large);

    // The keys whose press lasts until they are let go: the original preview key and the arrows
    // that walk through the photos. The repeats of a held key never end that press.
    static bool holdsUntilReleased(std::uint16_t keyCode);

    KeyDecision handle(const KeyEvent& event, const KeyDispatchContext& context);

    // Forgets every held key (focus moved, window deactivated, screen left).
    void resetKeyState() { keyState_ = {}; }
    const ParameterKeyState& keyState() const { return keyState_; }

private:
    KeyDecision keyUp(const KeyEvent& event, const KeyDispatchContext& context);
    KeyDecision keyDown(const KeyEvent& event, const KeyDispatchContext& context);
    std::optional<KeyDecision> parameterPair(const KeyEvent& event, const KeyDispatchContext& context);
    static KeyDecision withModifierKeys(const KeyEvent& event, const KeyDispatchContext& context);
    static KeyDecision withoutModifiers(const KeyEvent& event, const KeyDispatchContext& context);

    ParameterKeyState keyState_;
};

} // namespace sorvin
