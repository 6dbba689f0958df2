#include "ui/platform/key_translation.hpp"

#include "shell/key_code.hpp"

#include <array>
#include <utility>

namespace sorvin {

namespace {

namespace K = KeyCode;

// Linux evdev codes (input-event-codes.h) of the keys the program uses. A Japanese keyboard's ろ
// (89) and ¥ (124) keys type the backslash there: they are the backslash key too.
constexpr std::pair<std::uint16_t, std::uint16_t> scanCodes[] = {
    {1, K::escape},      {2, K::digit1},       {3, K::digit2},
    {4, K::digit3},      {5, K::digit4},       {6, K::digit5},
    {7, K::digit6},      {8, K::digit7},       {9, K::digit8},
    {10, K::digit9},     {11, K::digit0},      {12, K::minus},
    {13, K::equal},      {14, K::deleteKey},   {15, K::tab},
    {16, K::q},          {17, K::w},           {18, K::e},
    {19, K::r},          {20, K::t},           {21, K::y},
    {22, K::u},          {23, K::i},           {24, K::o},
    {25, K::p},          {26, K::leftBracket}, {27, K::rightBracket},
    {28, K::returnKey},  {30, K::a},           {31, K::s},
    {32, K::d},          {33, K::f},           {34, K::g},
    {35, K::h},          {36, K::j},           {37, K::k},
    {38, K::l},          {39, K::semicolon},   {40, K::quote},
    {41, K::grave},      {43, K::backslash},   {44, K::z},
    {45, K::x},          {46, K::c},           {47, K::v},
    {48, K::b},          {49, K::n},           {50, K::m},
    {51, K::comma},      {52, K::period},      {53, K::slash},
    {57, K::space},      {103, K::up},         {105, K::left},
    {106, K::right},     {108, K::down},       {89, K::backslash},
    {124, K::backslash},
};

constexpr std::pair<int, std::uint16_t> qtKeys[] = {
    {Qt::Key_A, K::a},
    {Qt::Key_B, K::b},
    {Qt::Key_C, K::c},
    {Qt::Key_D, K::d},
    {Qt::Key_E, K::e},
    {Qt::Key_F, K::f},
    {Qt::Key_G, K::g},
    {Qt::Key_H, K::h},
    {Qt::Key_I, K::i},
    {Qt::Key_J, K::j},
    {Qt::Key_K, K::k},
    {Qt::Key_L, K::l},
    {Qt::Key_M, K::m},
    {Qt::Key_N, K::n},
    {Qt::Key_O, K::o},
    {Qt::Key_P, K::p},
    {Qt::Key_Q, K::q},
    {Qt::Key_R, K::r},
    {Qt::Key_S, K::s},
    {Qt::Key_T, K::t},
    {Qt::Key_U, K::u},
    {Qt::Key_V, K::v},
    {Qt::Key_W, K::w},
    {Qt::Key_X, K::x},
    {Qt::Key_Y, K::y},
    {Qt::Key_Z, K::z},
    {Qt::Key_0, K::digit0},
    {Qt::Key_1, K::digit1},
    {Qt::Key_2, K::digit2},
    {Qt::Key_3, K::digit3},
    {Qt::Key_4, K::digit4},
    {Qt::Key_5, K::digit5},
    {Qt::Key_6, K::digit6},
    {Qt::Key_7, K::digit7},
    {Qt::Key_8, K::digit8},
    {Qt::Key_9, K::digit9},
    {Qt::Key_Minus, K::minus},
    {Qt::Key_Equal, K::equal},
    {Qt::Key_Plus, K::equal},
    {Qt::Key_BracketLeft, K::leftBracket},
    {Qt::Key_BracketRight, K::rightBracket},
    {Qt::Key_Semicolon, K::semicolon},
    {Qt::Key_Apostrophe, K::quote},
    {Qt::Key_QuoteLeft, K::grave},
    {Qt::Key_Backslash, K::backslash},
    {Qt::Key_Comma, K::comma},
    {Qt::Key_Period, K::period},
    {Qt::Key_Slash, K::slash},
    {Qt::Key_Space, K::space},
    {Qt::Key_Tab, K::tab},
    {Qt::Key_Backtab, K::tab},
    {Qt::Key_Backspace, K::deleteKey},
    {Qt::Key_Escape, K::escape},
    {Qt::Key_Return, K::returnKey},
    {Qt::Key_Enter, K::returnKey},
    {Qt::Key_Left, K::left},
    {Qt::Key_Right, K::right},
    {Qt::Key_Up, K::up},
    {Qt::Key_Down, K::down},
};

// X11 and Wayland (xkb) key codes are the evdev codes plus 8.
constexpr std::uint32_t xkbOffset = 8;

} // namespace

std::optional<std::uint16_t> KeyTranslation::keyCode(std::uint32_t nativeScanCode, int qtKey) {
    if (nativeScanCode > xkbOffset) {
        const std::uint32_t evdev = nativeScanCode - xkbOffset;
        for (const auto& [scan, code] : scanCodes)
            if (scan == evdev) return code;
    }
    for (const auto& [key, code] : qtKeys)
        if (key == qtKey) return code;
    return std::nullopt;
}

AdjustmentKeyModifiers KeyTranslation::modifiers(Qt::KeyboardModifiers modifiers) {
    using M = AdjustmentKeyModifiers;
    M result;
    if (modifiers & Qt::ShiftModifier) result.insert(M::shift);
    if (modifiers & Qt::ControlModifier) result.insert(M::command);
    if (modifiers & Qt::AltModifier) result.insert(M::option);
    if (modifiers & Qt::MetaModifier) result.insert(M::control);
    return result;
}

std::optional<AdjustmentKeyModifiers::Member> KeyTranslation::modifierKey(int qtKey) {
    using M = AdjustmentKeyModifiers;
    switch (qtKey) {
    case Qt::Key_Shift:
        return M::shift;
    case Qt::Key_Control:
        return M::command;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return M::option;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return M::control;
    default:
        return std::nullopt;
    }
}

} // namespace sorvin
