#pragma once

#include "platform/geometry.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvin {

// The main window's size limits and the stored frame: the text "x y width height" in screen
// coordinates (top-left origin), written after every move and resize and applied at the next start
// only when it is large enough and still meets a connected screen. A room is what a screen leaves
// for the window's contents: the screen less its panels and the frame drawn around the window.
struct WindowFrame {
    static constexpr double minimumWidth = 1360;
    static constexpr double minimumHeight = 800;
    static constexpr double defaultWidth = 1400;
    static constexpr double defaultHeight = 900;

    // What the window manager draws around the window's contents: title bar and borders.
    struct Margins {
        double left = 0;
        double top = 0;
        double right = 0;
        double bottom = 0;
        friend bool operator==(const Margins&, const Margins&) = default;
    };

    // Whole points, so the text stays short and reads back exactly.
    static std::string text(const Rect& frame);
    // None unless the text holds exactly four finite numbers.
    static std::optional<Rect> parse(std::string_view text);
    // The room for the contents on a screen's free area, the window manager's frame left out.
    static Rect room(const Rect& available, const Margins& frame);
    // 1360 × 800 wherever the room has it; a smaller room is the limit itself, so that the whole
    // window stays on a small screen.
    static Size minimumSize(const Rect& room);
    // The frame shrunk to the room where it is larger, then moved into it.
    static Rect fitted(const Rect& frame, const Rect& room);
    // The stored frame to apply, or none to keep the default placement: one at least the minimum
    // size of the room it meets most, fitted into that room.
    static std::optional<Rect> restorable(std::string_view text, const std::vector<Rect>& rooms);
};

} // namespace sorvin
