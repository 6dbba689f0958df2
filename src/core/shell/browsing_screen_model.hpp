#pragma once

#include "app/panel_resize_limits.hpp"
#include "model/parameter_page.hpp"
#include "model/photo.hpp"
#include "persistence/selection_store.hpp"
#include "shell/exif_panel_model.hpp"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvin {

class PhotoLibrary;

// The top bar of the browsing screen: the current photo's name and date, and its heart.
struct BrowsingTopBar {
    static constexpr double kHeight = 44;
    static constexpr std::string_view kFallbackStoreWarning =
        "⚠ 元フォルダに書き込めないため、記録を別の場所に保存しています";
    static constexpr double kWarningHeight = 28;

    // The warning line under the bar, while there is one. A record nothing is saved to is the
    // graver news: without the line, a whole session of changes would be lost without a word.
    static std::optional<std::string_view> warningLine(bool usesFallbackStore,
                                                       std::optional<SelectionProtection> protection);

    std::optional<std::string> fileName; // none without a current photo
    std::string dateText;
    bool hasHeart = false;

    static BrowsingTopBar make(const PhotoLibrary* library);
    // "2024-05-01 09:30:00" in the system's time zone; "撮影日時なし" without a date.
    static std::string captureDateText(const std::optional<CaptureDate>& date);
};

// The EXIF panel's scroll identity for the current photo and parameter page.
ExifPanelScrollResetID exifPanelScrollResetID(const Photo* photo, ParameterPage page);

// One drag of a resize handle. Every step measures from the size at the start and the whole
// translation, so a size held at a limit follows the pointer again only once it comes back.
class PanelResizeDrag {
public:
    static constexpr double kHandleThickness = 6;

    explicit PanelResizeDrag(PanelResizeAxis axis) : axis_(axis) {}
    // The new size for a translation along the drag axis (points, rightward or downward positive);
    // the first change remembers currentValue as the start. Moving left or up enlarges the panel.
    double change(double currentValue, double translation);
    void end() { dragStart_.reset(); }
    bool isDragging() const { return dragStart_.has_value(); }
    PanelResizeAxis axis() const { return axis_; }

private:
    PanelResizeAxis axis_;
    std::optional<double> dragStart_;
};

// The sizes the two panels are shown at: the ones the user gave wherever the window has room for
// them beside the photo, smaller on a small screen, down to their drag limits, so that the photo
// keeps a useful size and nothing leaves the window. From 1360 × 800 up the photo's room always
// allows the largest panels.
struct PanelFit {
    static constexpr double kPhotoMinimumHeight = 160;
    // The adjustment panel's number row and toolbar need about this much.
    static constexpr double kPhotoColumnMinimumWidth = 520;

    // room: the photo column's height less its mask tab bar.
    static double bottomPanelHeight(double stored, double room);
    // room: the main row's width less the file list.
    static double rightPanelWidth(double stored, double room);
};

// The buttons that hide or show a panel.
struct PanelCollapseButtonFace {
    std::string_view symbol;
    std::string_view label;
};
struct PanelCollapseButtons {
    static constexpr PanelCollapseButtonFace hideBottom{"chevron.down", "下パネルを隠す"};
    static constexpr PanelCollapseButtonFace showBottom{"chevron.up", "下パネルを表示"};
    static constexpr PanelCollapseButtonFace hideRight{"chevron.right", "右パネルを隠す"};
    static constexpr PanelCollapseButtonFace showRight{"chevron.left", "右パネルを表示"};
    static constexpr double kSize = 18;
};

} // namespace sorvin
