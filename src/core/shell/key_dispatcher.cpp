#include "shell/key_dispatcher.hpp"

#include "model/crop_key_command.hpp"
#include "persistence/parameter_preset_shortcut.hpp"
#include "shell/key_code.hpp"

#include <algorithm>

namespace sorvin {

namespace {

using M = AdjustmentKeyModifiers;

KeyDecision consumed(std::optional<KeyCommand> command = std::nullopt) {
    return {true, std::move(command)};
}

KeyDecision passed() {
    return {};
}

bool isVerticalArrow(std::uint16_t code) {
    return code == KeyCode::up || code == KeyCode::down;
}

std::optional<PhotoParameter> parameterInSlot(const KeyDispatchContext& context, int slot) {
    if (slot < 0 || static_cast<std::size_t>(slot) >= context.pageSlots.size()) return std::nullopt;
    return context.pageSlots[static_cast<std::size_t>(slot)];
}

} // namespace

int KeyDispatcher::step(PhotoParameter parameter, bool large) {
    const int base = large ? largeStep : smallStep;
    const bool tenths = parameter == PhotoParameter::circular_mask_center_x ||
                        parameter == PhotoParameter::circular_mask_center_y;
    return tenths ? base * 10 : base;
}

bool KeyDispatcher::holdsUntilReleased(std::uint16_t keyCode) {
    return keyCode == OriginalPreviewKey::keyCode || isVerticalArrow(keyCode);
}

KeyDecision KeyDispatcher::handle(const KeyEvent& event, const KeyDispatchContext& context) {
    return event.type == KeyEvent::Type::keyUp ? keyUp(event, context) : keyDown(event, context);
}

KeyDecision KeyDispatcher::keyUp(const KeyEvent& event, const KeyDispatchContext& context) {
    const bool blocked = context.fieldFocused || context.modalUp;
    if (isVerticalArrow(event.keyCode)) {
        // Releasing the held arrow always ends the walk, even when the key goes on to a field.
        if (blocked) return {false, KeyCommands::StopHoldAdvance{}};
        if (context.holdAdvanceKeyCode == event.keyCode) return consumed(KeyCommands::StopHoldAdvance{});
        return consumed();
    }
    // Letting go of the original preview key always ends the preview, as for the arrows.
    if (event.keyCode == OriginalPreviewKey::keyCode)
        return {!blocked, KeyCommands::HoldOriginalPreview{false}};
    if (blocked) return passed();
    const auto binding = ParameterKeyBinding::binding(event.keyCode);
    if (!binding) return passed();
    keyState_.heldKeys.erase(event.keyCode);
    if (!keyState_.heldKeys.contains(binding->increaseCode) &&
        !keyState_.heldKeys.contains(binding->decreaseCode))
        keyState_.resetLatched.erase(ParameterCatalog::slot(binding->parameter));
    return consumed();
}

std::optional<KeyDecision> KeyDispatcher::parameterPair(const KeyEvent& event,
                                                        const KeyDispatchContext& context) {
    const auto binding = ParameterKeyBinding::binding(event.keyCode);
    if (!binding) return std::nullopt;
    const int slot = ParameterCatalog::slot(binding->parameter);
    const std::optional<PhotoParameter> parameter = parameterInSlot(context, slot);
    const bool increases = event.keyCode == binding->increaseCode;

    if (event.modifiers.isEmpty()) {
        const std::uint16_t otherKey = increases ? binding->decreaseCode : binding->increaseCode;
        std::optional<KeyCommand> command;
        if (keyState_.heldKeys.contains(otherKey)) {
            if (parameter) command = KeyCommands::ResetParameter{*parameter};
            keyState_.resetLatched.insert(slot);
        } else if (!keyState_.resetLatched.contains(slot) && parameter) {
            const int by = step(*parameter, false);
            command = KeyCommands::AdjustParameter{*parameter, increases ? by : -by};
        }
        keyState_.heldKeys.insert(event.keyCode);
        return consumed(std::move(command));
    }
    if (event.modifiers == M{M::shift}) {
        if (!parameter) return consumed();
        const int by = step(*parameter, true);
        return consumed(KeyCommands::AdjustParameter{*parameter, increases ? by : -by});
    }
    return std::nullopt;
}

KeyDecision KeyDispatcher::keyDown(const KeyEvent& event, const KeyDispatchContext& context) {
    // Meta belongs to the original preview and is never a command modifier here.
    if (context.fieldFocused || context.modalUp || event.modifiers.contains(M::control)) return passed();
    const std::uint16_t code = event.keyCode;
    const M modifiers = event.modifiers;

    if (code == OriginalPreviewKey::keyCode && modifiers.isEmpty()) {
        if (event.isAutoRepeat) return consumed();
        return consumed(KeyCommands::HoldOriginalPreview{true});
    }

    if (auto decision = parameterPair(event, context)) return *decision;

    if (modifiers.isEmpty() && context.hasCurrentPhoto && code >= KeyCode::digit1 &&
        code <= KeyCode::digit4) {
        const auto channel = pointCurveChannel(code - KeyCode::digit1);
        return consumed(KeyCommands::SelectCurveChannel{*channel});
    }

    if (modifiers == M{M::command} && (code == KeyCode::c || code == KeyCode::v)) {
        if (!context.hasCurrentPhoto) return passed();
        return consumed(KeyCommands::ParameterClipboard{
            code == KeyCode::c ? ParameterClipboardAction::copy : ParameterClipboardAction::paste});
    }

    if (const auto preset = ParameterPresetShortcut::index(code, modifiers.rawValue()))
        return consumed(KeyCommands::ApplyPreset{*preset});

    if (const auto action = SelectShortcut::action(code, modifiers)) {
        if (*action == SelectShortcutAction::randomizeParameters && !context.hasCurrentPhoto) return passed();
        return consumed(KeyCommands::Shortcut{*action});
    }

    if (!modifiers.isEmpty()) return withModifierKeys(event, context);
    return withoutModifiers(event, context);
}

KeyDecision KeyDispatcher::withModifierKeys(const KeyEvent& event, const KeyDispatchContext&) {
    const std::uint16_t code = event.keyCode;
    if (event.modifiers == M{M::shift}) {
        switch (code) {
        case KeyCode::t:
            return consumed(KeyCommands::AutoStraighten{});
        case KeyCode::r:
            return consumed(KeyCommands::ResetRotation{});
        case KeyCode::left:
            return consumed(KeyCommands::Rotate{-90});
        case KeyCode::right:
            return consumed(KeyCommands::Rotate{90});
        case KeyCode::down:
            return consumed(KeyCommands::JumpToEnd{});
        case KeyCode::up:
            return consumed(KeyCommands::JumpToStart{});
        default:
            return passed();
        }
    }
    if (event.modifiers == M{M::command}) {
        if (const auto direction = CropKeyCommand::direction(code))
            return consumed(KeyCommands::MoveCrop{*direction});
        switch (code) {
        case KeyCode::k:
            return consumed(KeyCommands::ToggleCropInsideOnly{});
        case KeyCode::digit0:
            return consumed(KeyCommands::ResizeCrop{1});
        case KeyCode::digit9:
            return consumed(KeyCommands::ResizeCrop{-1});
        default:
            return passed();
        }
    }
    return passed();
}

KeyDecision KeyDispatcher::withoutModifiers(const KeyEvent& event, const KeyDispatchContext& context) {
    const std::uint16_t code = event.keyCode;
    const auto& pageKeys = ParameterTabShortcut::keyCodes;
    const auto page = std::find(pageKeys.begin(), pageKeys.begin() + 8, code);
    if (page != pageKeys.begin() + 8)
        return consumed(KeyCommands::SelectParameterTab{int(page - pageKeys.begin())});

    const bool global = context.editTarget.isGlobal();
    if (code == KeyCode::digit5 && global)
        return consumed(KeyCommands::SelectParameterTab{static_cast<int>(ParameterLetterPage::geometry)});
    if (code == KeyCode::o) {
        if (!global)
            return consumed(KeyCommands::SelectParameterTab{static_cast<int>(ParameterLetterPage::shape)});
        if (context.currentPhotoIsRaw)
            return consumed(
                KeyCommands::SelectParameterTab{static_cast<int>(ParameterLetterPage::rawDevelopment)});
    }
    switch (code) {
    case KeyCode::space:
        return consumed(KeyCommands::ToggleHeart{});
    case KeyCode::escape:
        return context.isFiltered ? consumed(KeyCommands::DisableFilter{}) : passed();
    case KeyCode::left:
        return consumed(KeyCommands::Rotate{-0.5});
    case KeyCode::right:
        return consumed(KeyCommands::Rotate{0.5});
    case KeyCode::down:
    case KeyCode::up:
        // The repeater, not the system's key repeat, paces a held arrow.
        if (event.isAutoRepeat) return consumed();
        return consumed(KeyCommands::StartHoldAdvance{code, code == KeyCode::down ? 1 : -1});
    default:
        return passed();
    }
}

} // namespace sorvin
