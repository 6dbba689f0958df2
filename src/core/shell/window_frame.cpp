#include "shell/window_frame.hpp"

#include <charconv>
#include <cmath>

namespace sorvin {

namespace {

bool intersects(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
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

std::optional<Rect> WindowFrame::restorable(std::string_view text, const std::vector<Rect>& screens) {
    const auto frame = parse(text);
    if (!frame || frame->width < minimumWidth || frame->height < minimumHeight) return std::nullopt;
    for (const Rect& screen : screens)
        if (intersects(*frame, screen)) return frame;
    return std::nullopt;
}

} // namespace sorvin
