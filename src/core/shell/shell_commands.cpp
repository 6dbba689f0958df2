#include "shell/shell_commands.hpp"

#include "app/app_state.hpp"
#include "model/parameter_panel_pages.hpp"
#include "persistence/preference_key.hpp"
#include "platform/random_generator.hpp"

#include <type_traits>

namespace sorvin {

namespace {

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

bool hasCurrentPhoto(const AppState& state) {
    return state.library() && state.library()->currentPhoto();
}

void runShortcut(SelectShortcutAction action, AppState& state, RandomGenerator& random) {
    using A = SelectShortcutAction;
    switch (action) {
    case A::presentExport:
        state.presentExport();
        break;
    case A::presentCurrentPhotoExport:
        state.presentCurrentPhotoExport();
        break;
    case A::copyExifText:
        state.copyExifText();
        break;
    case A::copyCurrentImage:
        state.copyCurrentImage();
        break;
    case A::toggleFilter:
        state.toggleFilter();
        break;
    case A::toggleGrid:
        state.setShowGrid(!state.showGrid());
        break;
    case A::toggleClippingWarning:
        state.setClippingWarning(!state.clippingWarning());
        break;
    case A::randomizeParameters:
        state.randomizeCurrentParameters(random);
        break;
    case A::resetCrop:
        state.resetCurrentCrop();
        break;
    case A::toggleSource:
        state.toggleCurrentSource();
        break;
    case A::toggleSortKey:
        state.toggleSortKey();
        break;
    case A::toggleSortDirection:
        state.setSort(state.sortKey(), !state.sortAscending());
        break;
    case A::createDuplicate:
        state.createRetouchDuplicate();
        break;
    case A::deleteDuplicate:
        state.deleteRetouchDuplicate();
        break;
    case A::togglePanels:
        state.togglePanels();
        break;
    }
}

} // namespace

KeyDispatchContext ShellCommands::keyContext(const AppState& state, bool fieldFocused,
                                             const HoldAdvanceRepeater& repeater) {
    KeyDispatchContext context;
    context.fieldFocused = fieldFocused;
    context.modalUp = state.isModalExportPresented();
    context.hasCurrentPhoto = hasCurrentPhoto(state);
    context.isFiltered = state.library() && state.library()->isFiltered();
    context.currentPhotoIsRaw = state.currentPhotoIsRaw();
    context.editTarget = state.editTarget();
    context.holdAdvanceKeyCode = repeater.heldKeyCode();
    std::optional<MaskKind> maskKind;
    if (const auto index = state.editTarget().maskIndex(); index && state.library()) {
        const PhotoParameters parameters = state.library()->currentParameters();
        if (*index >= 0 && static_cast<std::size_t>(*index) < parameters.masks.size())
            maskKind = parameters.masks[static_cast<std::size_t>(*index)].kind;
    }
    context.pageSlots =
        ParameterPanelPages::parameters(state.parameterPage(), state.editTarget(), maskKind,
                                        context.currentPhotoIsRaw, state.currentRawDevelopmentSupport());
    return context;
}

void ShellCommands::run(const KeyCommand& command, AppState& state, HoldAdvanceRepeater& repeater,
                        RandomGenerator& random) {
    namespace K = KeyCommands;
    std::visit(Overloaded{
                   [&](const K::AdjustParameter& c) { state.adjustCurrentParameter(c.parameter, c.by); },
                   [&](const K::ResetParameter& c) { state.resetCurrentParameter(c.parameter); },
                   [&](const K::SelectCurveChannel& c) { state.selectCurveChannel(c.channel); },
                   [&](const K::ParameterClipboard& c) { state.performParameterClipboardAction(c.action); },
                   [&](const K::ApplyPreset& c) { state.applyPreset(c.index); },
                   [&](const K::Shortcut& c) { runShortcut(c.action, state, random); },
                   [&](const K::AutoStraighten&) { state.autoStraightenCurrent(); },
                   [&](const K::ResetRotation&) { state.resetCurrentRotation(); },
                   [&](const K::Rotate& c) { state.rotateCurrent(c.degrees); },
                   [&](const K::JumpToStart&) { state.jumpToStart(); },
                   [&](const K::JumpToEnd&) { state.jumpToEnd(); },
                   [&](const K::MoveCrop& c) { state.moveCurrentCrop(c.direction); },
                   [&](const K::ToggleCropInsideOnly&) { state.setCropInsideOnly(!state.cropInsideOnly()); },
                   [&](const K::ResizeCrop& c) { state.resizeCurrentCrop(c.by); },
                   [&](const K::SelectParameterTab& c) { state.selectParameterTab(c.page); },
                   [&](const K::ToggleHeart&) { state.toggleHeart(); },
                   [&](const K::DisableFilter&) { state.disableFilter(); },
                   [&](const K::StartHoldAdvance& c) {
                       AppState* target = &state;
                       repeater.start(
                           c.keyCode, c.direction,
                           [target] {
                               return target->settings().clampedInteger(
                                   PreferenceKey::holdAdvanceRate, defaultHoldAdvanceRate,
                                   HoldAdvanceRepeater::minimumRate, HoldAdvanceRepeater::maximumRate);
                           },
                           [target](int by) { return target->move(by); });
                   },
                   [&](const K::StopHoldAdvance&) { repeater.stop(); },
                   [&](const K::HoldOriginalPreview& c) { state.holdOriginalPreviewKey(c.held); },
               },
               command);
}

MenuStateSnapshot ShellCommands::menuState(const AppState& state, bool canCheckForUpdates, bool canUndo,
                                           bool canRedo) {
    MenuStateSnapshot s;
    switch (state.screen()) {
    case AppScreen::home:
        s.screen = MenuStateSnapshot::Screen::home;
        break;
    case AppScreen::loading:
        s.screen = MenuStateSnapshot::Screen::loading;
        break;
    case AppScreen::select:
        s.screen = MenuStateSnapshot::Screen::select;
        break;
    }
    s.isModalExportPresented = state.isModalExportPresented();
    s.adjustmentInputIsFocused = state.adjustmentInputIsFocused();
    s.canCheckForUpdates = canCheckForUpdates;
    s.canUndo = canUndo;
    s.canRedo = canRedo;
    if (const PhotoLibrary* library = state.library()) {
        s.hasLibrary = true;
        s.hasCurrentPhoto = library->currentPhoto() != nullptr;
        s.isFiltered = library->isFiltered();
        s.currentRotation = library->currentRotation();
        s.currentCrop = library->currentCrop();
        s.zoomScale = library->zoomState().scale;
    }
    s.isSingleExportInProgress = state.isSingleExportInProgress();
    s.isImageCopyInProgress = state.isImageCopyInProgress();
    s.sortKey = state.sortKey();
    s.sortAscending = state.sortAscending();
    s.showGrid = state.showGrid();
    s.clippingWarning = state.clippingWarning();
    s.lowMemoryMode = state.lowMemoryMode();
    s.rightPanelCollapsed = state.rightPanelCollapsed();
    s.bottomPanelCollapsed = state.bottomPanelCollapsed();
    return s;
}

namespace {

// The key command a menu item shares with the keyboard, if any; toggles only when the item's new
// state differs from the present one.
std::optional<KeyCommand> keyCommand(MenuCommand command, const MenuStateSnapshot& s, bool checked) {
    using C = MenuCommand;
    using A = SelectShortcutAction;
    namespace K = KeyCommands;
    const auto toggle = [&](bool current, A action) -> std::optional<KeyCommand> {
        if (checked == current) return std::nullopt;
        return K::Shortcut{action};
    };
    switch (command) {
    case C::exportHearted:
        return K::Shortcut{A::presentExport};
    case C::exportCurrentPhoto:
        return K::Shortcut{A::presentCurrentPhotoExport};
    case C::copyExif:
        return K::Shortcut{A::copyExifText};
    case C::copyImage:
        return K::Shortcut{A::copyCurrentImage};
    case C::heartsOnly:
        return toggle(s.hasLibrary && s.isFiltered, A::toggleFilter);
    case C::sortKey:
        return K::Shortcut{A::toggleSortKey};
    case C::sortDirection:
        return K::Shortcut{A::toggleSortDirection};
    case C::firstPhoto:
        return K::JumpToStart{};
    case C::lastPhoto:
        return K::JumpToEnd{};
    case C::rotateClockwiseHalf:
        return K::Rotate{0.5};
    case C::rotateCounterclockwiseHalf:
        return K::Rotate{-0.5};
    case C::rotateClockwise90:
        return K::Rotate{90};
    case C::rotateCounterclockwise90:
        return K::Rotate{-90};
    case C::resetRotation:
        return K::ResetRotation{};
    case C::autoStraighten:
        return K::AutoStraighten{};
    case C::cropSmaller:
        return K::ResizeCrop{-1};
    case C::cropLarger:
        return K::ResizeCrop{1};
    case C::resetCrop:
        return K::Shortcut{A::resetCrop};
    case C::grid:
        return toggle(s.showGrid, A::toggleGrid);
    case C::clippingWarning:
        return toggle(s.clippingWarning, A::toggleClippingWarning);
    case C::maximizePhoto:
        return toggle(s.rightPanelCollapsed && s.bottomPanelCollapsed, A::togglePanels);
    default:
        return std::nullopt;
    }
}

} // namespace

bool ShellCommands::run(MenuCommand command, AppState& state, bool checked) {
    using C = MenuCommand;
    switch (command) {
    case C::chooseFolder:
        // Checked again at the moment of the action: a shortcut may arrive while a sheet is up.
        if (state.isModalExportPresented() || state.adjustmentInputIsFocused()) return true;
        if (state.screen() == AppScreen::loading) state.cancelLoading();
        state.chooseSourceFolder();
        return true;
    case C::about:
    case C::checkForUpdates:
    case C::settings:
    case C::quit:
    case C::undo:
    case C::redo:
    case C::fullScreen:
    case C::minimize:
        return false;
    default:
        break;
    }
    // Disabled items do not run, but a shortcut may arrive in the same turn as the change that
    // disabled its item, so each action checks its own state again.
    const MenuStateSnapshot snapshot = menuState(state, false, false, false);
    if (!MenuCommandTable::itemState(command, snapshot).enabled) return true;
    if (command == C::lowMemoryMode) {
        state.setLowMemoryMode(checked);
    } else if (command == C::resetZoom) {
        if (PhotoLibrary* library = state.library()) library->setZoomState(ZoomState{});
        state.updateFullResolutionRequest();
    } else if (const auto key = keyCommand(command, snapshot, checked)) {
        // No menu item walks through the photos or develops at random, so neither the repeater
        // nor a random source is involved.
        HoldAdvanceRepeater idle{HoldAdvanceScheduler{}};
        RandomGenerator none([] { return RandomGenerator::result_type{0}; });
        run(*key, state, idle, none);
    }
    return true;
}

} // namespace sorvin
