#include "shell/keyboard_maps.hpp"

#include "shell/key_code.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {

using P = PhotoParameter;
using A = SelectShortcutAction;
using M = AdjustmentKeyModifiers;

struct ShortcutRow {
    std::uint16_t code;
    AdjustmentKeyModifiers modifiers;
    SelectShortcutAction action;
};

constexpr std::array<ShortcutRow, 15> shortcutRows = {{
    {KeyCode::s, M{M::command}, A::presentCurrentPhotoExport},
    {KeyCode::d, M{M::command}, A::createDuplicate},
    {KeyCode::f, M{M::command}, A::toggleFilter},
    {KeyCode::g, M{M::command}, A::toggleGrid},
    {KeyCode::b, M{M::command}, A::togglePanels},
    {KeyCode::e, M{M::command}, A::presentExport},
    {KeyCode::r, M{M::command}, A::randomizeParameters},
    {KeyCode::equal, M{M::shift}, A::resetCrop},
    {KeyCode::u, M{M::command}, A::toggleSortDirection},
    {KeyCode::i, M{M::command}, A::copyExifText},
    {KeyCode::p, M{M::command}, A::copyCurrentImage},
    {KeyCode::l, M{M::command}, A::toggleClippingWarning},
    {KeyCode::j, M{M::command}, A::toggleSortKey},
    {KeyCode::tab, M{}, A::toggleSource},
    {KeyCode::deleteKey, M{M::command}, A::deleteDuplicate},
}};

constexpr std::array<std::string_view, 8> letterPageLabels = {"Q", "W", "E", "R", "T", "Y", "U", "I"};

} // namespace

const std::array<ParameterKeyBinding, 10> ParameterKeyBinding::bindings = {{
    {P::exposure, KeyCode::a, KeyCode::z, "A", "Z"},
    {P::contrast, KeyCode::s, KeyCode::x, "S", "X"},
    {P::saturation, KeyCode::d, KeyCode::c, "D", "C"},
    {P::highlights, KeyCode::f, KeyCode::v, "F", "V"},
    {P::shadows, KeyCode::g, KeyCode::b, "G", "B"},
    {P::white_level, KeyCode::h, KeyCode::n, "H", "N"},
    {P::black_level, KeyCode::j, KeyCode::m, "J", "M"},
    {P::temperature, KeyCode::k, KeyCode::comma, "K", ","},
    {P::tint, KeyCode::l, KeyCode::period, "L", "."},
    {P::vibrance, KeyCode::semicolon, KeyCode::slash, ";", "/"},
}};

std::optional<ParameterKeyBinding> ParameterKeyBinding::binding(std::uint16_t keyCode) {
    for (const ParameterKeyBinding& row : bindings)
        if (row.increaseCode == keyCode || row.decreaseCode == keyCode) return row;
    return std::nullopt;
}

std::optional<std::string_view> ParameterKeyBinding::label(std::uint16_t keyCode) {
    // The labels are those of the pairs; no other key below 48 carries one.
    for (const ParameterKeyBinding& row : bindings) {
        if (row.increaseCode == keyCode) return row.increaseLabel;
        if (row.decreaseCode == keyCode) return row.decreaseLabel;
    }
    return std::nullopt;
}

std::optional<std::string_view> ParameterTabShortcut::keyLabel(int tab, ParameterEditTarget editTarget,
                                                               bool isRaw) {
    if (tab >= 0 && tab <= 7) return letterPageLabels[static_cast<std::size_t>(tab)];
    switch (tab) {
    case 11:
        return editTarget.isGlobal() ? std::optional<std::string_view>("5") : std::nullopt;
    case 8:
        return editTarget.isGlobal() ? std::nullopt : std::optional<std::string_view>("O");
    case 9:
        return editTarget.isGlobal() && isRaw ? std::optional<std::string_view>("O") : std::nullopt;
    default:
        return std::nullopt;
    }
}

std::optional<SelectShortcutAction> SelectShortcut::action(std::uint16_t keyCode,
                                                           AdjustmentKeyModifiers modifiers) {
    if (keyCode == KeyCode::a || keyCode > KeyCode::deleteKey) return std::nullopt;
    for (const ShortcutRow& row : shortcutRows)
        if (row.code == keyCode) return row.modifiers == modifiers ? std::optional(row.action) : std::nullopt;
    return std::nullopt;
}

int ParameterSliderGeometry::value(double y, int lower, int upper, double trackHeight) {
    const double usable = trackHeight - 2 * inset;
    const double clamped = std::min(std::max(y, inset), trackHeight - inset);
    if (!(usable > 0) || std::isnan(y)) return lower;
    const double fraction = (trackHeight - inset - clamped) / usable;
    const double value = std::round(fraction * (upper - lower) + lower);
    return static_cast<int>(std::clamp(value, static_cast<double>(lower), static_cast<double>(upper)));
}

} // namespace sorvin
