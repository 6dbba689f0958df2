#include "shell/window_frame.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sorvin {

namespace {

double overlap(const Rect& a, const Rect& b) {
    const double across = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double down = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return across > 0 && down > 0 ? across * down : 0;
}

} // namespace

std::string WindowFrame::text(const Rect& frame) {
    const auto whole = [](double v) { return std::to_string(static_cast<long long>(std::llround(v))); };
    return whole(frame.x) + " " + whole(frame.y) + " " + whole(frame.width) + " " + whole(frame.height);
}

std::optional<Rect> WindowFrame::parse(std::string_view text) {
    double values[4];
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (double& value : values) {
        while (p < end && *p == ' ')
            ++p;
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc() || next == p || !std::isfinite(value)) return std::nullopt;
        p = next;
    }
    while (p < end && *p == ' ')
        ++p;
    if (p != end) return std::nullopt;
    return Rect{values[0], values[1], values[2], values[3]};
}

Rect WindowFrame::room(const Rect& available, const Margins& frame) {
    return {available.x + frame.left, available.y + frame.top,
            std::max(0.0, available.width - frame.left - frame.right),
            std::max(0.0, available.height - frame.top - frame.bottom)};
}

Size WindowFrame::minimumSize(const Rect& room) {
    return {std::max(0.0, std::min(minimumWidth, room.width)), std::max(0.0, std::min(minimumHeight, room.height))};
}

Rect WindowFrame::fitted(const Rect& frame, const Rect& room) {
    const double width = std::min(frame.width, room.width);
    const double height = std::min(frame.height, room.height);
    return {std::clamp(frame.x, room.minX(), room.maxX() - width),
            std::clamp(frame.y, room.minY(), room.maxY() - height), width, height};
}

std::optional<Rect> WindowFrame::restorable(std::string_view text, const std::vector<Rect>& rooms) {
    const auto frame = parse(text);
    if (!frame) return std::nullopt;
    const Rect* best = nullptr;
    double most = 0;
    for (const Rect& room : rooms)
        if (const double shared = overlap(*frame, room); shared > most) {
            most = shared;
            best = &room;
        }
    if (!best) return std::nullopt;
    const Size smallest = minimumSize(*best);
    if (frame->width < smallest.width || frame->height < smallest.height) return std::nullopt;
    return fitted(*frame, *best);
}

} // namespace sorvin
