#include "model/crop_aspect.hpp"

#include <fmt/format.h>

namespace sorvin {

namespace {

// A part in canonical decimal form: digits only, no leading zero, within 1 ... 99.
std::optional<int> part(std::string_view text) {
    if (text.empty() || text.size() > 2 || text.front() == '0') return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string CropAspect::storageText() const {
    if (isOriginal()) return "original";
    return fmt::format("{}:{}", width, height);
}

std::optional<CropAspect> CropAspect::fromStorageText(std::string_view text) {
    if (text == "original") return original();
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto first = part(text.substr(0, colon));
    const auto second = part(text.substr(colon + 1)); // a second ":" makes this piece fail
    if (!first || !second) return std::nullopt;
    return ratio(*first, *second);
}

std::string CropAspect::displayText() const {
    return isOriginal() ? "元のまま" : storageText();
}

} // namespace sorvin
