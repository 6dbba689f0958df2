#include "panel/source_selector_labels.hpp"

#include "view/panel_colors.hpp"

#include <algorithm>

namespace sorvin {

namespace {

// The file name's extension in ASCII capitals; other characters stay as they are.
std::string upperExtension(const std::filesystem::path& url) {
    std::string extension = url.extension().string();
    if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return extension;
}

} // namespace

SourceSelectorLabels SourceSelectorLabels::make(const Photo& photo) {
    if (!photo.hasRawCompanion()) return {"JPEG", "RAW"};
    return {upperExtension(photo.asset(PhotoSource::jpeg).url),
            upperExtension(photo.asset(PhotoSource::raw).url)};
}

SourceButtonState SourceButtonStates::of(PhotoSource button, PhotoSource currentSource, const Photo& photo) {
    if (button == currentSource) return SourceButtonState::shown;
    return photo.hasRawCompanion() ? SourceButtonState::switchable : SourceButtonState::unavailable;
}

SrgbColor SourceButtonStates::textColor(SourceButtonState state) {
    switch (state) {
    case SourceButtonState::shown:
        return PanelColors::white;
    case SourceButtonState::switchable:
        return PanelColors::secondaryText;
    case SourceButtonState::unavailable:
        break;
    }
    return PanelColors::disabledText;
}

SrgbColor SourceButtonStates::backgroundColor(SourceButtonState state) {
    switch (state) {
    case SourceButtonState::shown:
        return PanelColors::accent;
    case SourceButtonState::switchable:
        return PanelColors::separator;
    case SourceButtonState::unavailable:
        break;
    }
    return PanelColors::disabledBackground;
}

} // namespace sorvin
