#pragma once

#include <cstdint>

// The layout-independent key codes the program works with: the positions of an ANSI keyboard, in
// the numbering the keyboard commands were designed with. The UI translates the physical key of
// each event to one of these.
namespace sorvin::KeyCode {

inline constexpr std::uint16_t a = 0;
inline constexpr std::uint16_t s = 1;
inline constexpr std::uint16_t d = 2;
inline constexpr std::uint16_t f = 3;
inline constexpr std::uint16_t h = 4;
inline constexpr std::uint16_t g = 5;
inline constexpr std::uint16_t z = 6;
inline constexpr std::uint16_t x = 7;
inline constexpr std::uint16_t c = 8;
inline constexpr std::uint16_t v = 9;
inline constexpr std::uint16_t b = 11;
inline constexpr std::uint16_t q = 12;
inline constexpr std::uint16_t w = 13;
inline constexpr std::uint16_t e = 14;
inline constexpr std::uint16_t r = 15;
inline constexpr std::uint16_t y = 16;
inline constexpr std::uint16_t t = 17;
inline constexpr std::uint16_t digit1 = 18;
inline constexpr std::uint16_t digit2 = 19;
inline constexpr std::uint16_t digit3 = 20;
inline constexpr std::uint16_t digit4 = 21;
inline constexpr std::uint16_t digit6 = 22;
inline constexpr std::uint16_t digit5 = 23;
inline constexpr std::uint16_t equal = 24;
inline constexpr std::uint16_t digit9 = 25;
inline constexpr std::uint16_t digit7 = 26;
inline constexpr std::uint16_t minus = 27;
inline constexpr std::uint16_t digit8 = 28;
inline constexpr std::uint16_t digit0 = 29;
inline constexpr std::uint16_t rightBracket = 30;
inline constexpr std::uint16_t o = 31;
inline constexpr std::uint16_t u = 32;
inline constexpr std::uint16_t leftBracket = 33;
inline constexpr std::uint16_t i = 34;
inline constexpr std::uint16_t p = 35;
inline constexpr std::uint16_t returnKey = 36;
inline constexpr std::uint16_t l = 37;
inline constexpr std::uint16_t j = 38;
inline constexpr std::uint16_t quote = 39;
inline constexpr std::uint16_t k = 40;
inline constexpr std::uint16_t semicolon = 41;
inline constexpr std::uint16_t backslash = 42;
inline constexpr std::uint16_t comma = 43;
inline constexpr std::uint16_t slash = 44;
inline constexpr std::uint16_t n = 45;
inline constexpr std::uint16_t m = 46;
inline constexpr std::uint16_t period = 47;
inline constexpr std::uint16_t tab = 48;
inline constexpr std::uint16_t space = 49;
inline constexpr std::uint16_t grave = 50;
inline constexpr std::uint16_t deleteKey = 51;
inline constexpr std::uint16_t escape = 53;
inline constexpr std::uint16_t left = 123;
inline constexpr std::uint16_t right = 124;
inline constexpr std::uint16_t down = 125;
inline constexpr std::uint16_t up = 126;

} // namespace sorvin::KeyCode
