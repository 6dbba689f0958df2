#pragma once

#include "model/parameter_edit_target.hpp"
#include "model/photo_parameter.hpp"
#include "shell/adjustment_key_modifiers.hpp"
#include "shell/key_code.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>

// The fixed tables that tie physical keys to the commands of the browsing screen. The adjustment
// panel draws its key caps and tab labels from the same tables the key dispatcher uses.
namespace sorvin {

// One pair of keys that steps the parameter in one column (slot) of the panel up and down. The
// parameter named is the basic page's; the dispatcher uses only its slot.
struct ParameterKeyBinding {
    PhotoParameter parameter;
    std::uint16_t increaseCode;
    std::uint16_t decreaseCode;
    std::string_view increaseLabel;
    std::string_view decreaseLabel;

    // Row n is the pair of slot n: the home row raises, the row below lowers, column by column.
    static const std::array<ParameterKeyBinding, 10> bindings;

    static std::optional<ParameterKeyBinding> binding(std::uint16_t keyCode);
    // The character printed on a pair's key; none for every other key.
    static std::optional<std::string_view> label(std::uint16_t keyCode);

    friend bool operator==(const ParameterKeyBinding&, const ParameterKeyBinding&) = default;
};

// The keys that open the panel's pages.
struct ParameterTabShortcut {
    // Q W E R T Y U I open the letter pages 0-7; O (the ninth) opens the shape or RAW page.
    static constexpr std::array<std::uint16_t, 9> keyCodes = {12, 13, 14, 15, 17, 16, 32, 34, 31};

    // The label drawn on a page tab (a letter page raw value), or none.
    static std::optional<std::string_view> keyLabel(int tab, ParameterEditTarget editTarget, bool isRaw);
};

enum class SelectShortcutAction : int {
    presentExport = 0,
    presentCurrentPhotoExport = 1,
    copyExifText = 2,
    copyCurrentImage = 3,
    toggleFilter = 4,
    toggleGrid = 5,
    toggleClippingWarning = 6,
    randomizeParameters = 7,
    resetCrop = 8,
    toggleSource = 9,
    toggleSortKey = 10,
    toggleSortDirection = 11,
    createDuplicate = 12,
    deleteDuplicate = 13,
    togglePanels = 14,
};

// The key that shows the unedited original while it is held alone, as Meta held alone does: the
// backslash key, which the desktops leave to programs (GNOME and Plasma take Super for themselves).
struct OriginalPreviewKey {
    static constexpr std::uint16_t keyCode = KeyCode::backslash;
};

// The command shortcuts of the browsing screen.
struct SelectShortcut {
    static std::optional<SelectShortcutAction> action(std::uint16_t keyCode,
                                                      AdjustmentKeyModifiers modifiers);
};

// The parameter keys held down on the browsing screen, and the pairs pressed together (which stay
// latched, stepping nothing, until both keys are up again).
struct ParameterKeyState {
    std::set<std::uint16_t> heldKeys;
    std::set<int> resetLatched;

    friend bool operator==(const ParameterKeyState&, const ParameterKeyState&) = default;
};

// The vertical sliders of the panel: a pointer position on the track to a value.
struct ParameterSliderGeometry {
    static constexpr double inset = 7;
    // y is measured downwards from the top of a track `trackHeight` points tall.
    static int value(double y, int lower, int upper, double trackHeight);
};

} // namespace sorvin
