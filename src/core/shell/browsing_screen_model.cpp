#include "shell/browsing_screen_model.hpp"

#include "library/photo_library.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <fmt/format.h>

namespace sorvin {

BrowsingTopBar BrowsingTopBar::make(const PhotoLibrary* library) {
    BrowsingTopBar bar;
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    if (!photo) return bar;
    bar.fileName = photo->url.filename().string();
    bar.dateText = captureDateText(photo->captureDate);
    bar.hasHeart = library->containsHeart(photo->relativePath, library->currentSlot());
    return bar;
}

std::optional<std::string_view> BrowsingTopBar::warningLine(bool usesFallbackStore,
                                                            std::optional<SelectionProtection> protection) {
    if (protection) {
        switch (*protection) {
        case SelectionProtection::newerVersion:
            return "⚠ この記録は保護されているため、ここでの変更は保存されません（新しいバージョンで作られた記録です）";
        case SelectionProtection::unknownVersion:
            return "⚠ この記録は保護されているため、ここでの変更は保存されません（このバージョンでは読み込めない記録です）";
        case SelectionProtection::tooLarge:
            return "⚠ この記録は保護されているため、ここでの変更は保存されません（大きすぎて読み込めない記録です）";
        }
    }
    if (usesFallbackStore) return kFallbackStoreWarning;
    return std::nullopt;
}

std::string BrowsingTopBar::captureDateText(const std::optional<CaptureDate>& date) {
    if (!date) return "撮影日時なし";
    const auto seconds = std::chrono::floor<std::chrono::seconds>(date->time_since_epoch()).count();
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (!localtime_r(&time, &local)) return "撮影日時なし";
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

ExifPanelScrollResetID exifPanelScrollResetID(const Photo* photo, ParameterPage page) {
    return {photo ? std::optional<std::string>(photo->relativePath) : std::nullopt, page.storedValue()};
}

namespace {

double fitted(PanelResizeAxis axis, double stored, double room) {
    const PanelResizeLimits limits = PanelResizeLimits::of(axis);
    return std::max(limits.minimum, std::min(limits.clamped(stored), room));
}

} // namespace

double PanelFit::bottomPanelHeight(double stored, double room) {
    return fitted(PanelResizeAxis::bottomPanel, stored, room - kPhotoMinimumHeight);
}

double PanelFit::rightPanelWidth(double stored, double room) {
    return fitted(PanelResizeAxis::rightPanel, stored, room - kPhotoColumnMinimumWidth);
}

double PanelResizeDrag::change(double currentValue, double translation) {
    if (!dragStart_) dragStart_ = currentValue;
    return PanelResizeLimits::of(axis_).clamped(*dragStart_ - translation);
}

} // namespace sorvin
