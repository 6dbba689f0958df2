#pragma once

#include "model/photo.hpp"
#include "model/photo_list_row.hpp"
#include "model/photo_source.hpp"
#include "model/retouch_slot.hpp"
#include "shell/source_badge_presentation.hpp"
#include "view/view_color.hpp"

#include <optional>
#include <string>
#include <vector>

namespace sorvin {

class PhotoLibrary;

// What one row of the file list shows, read from the library. Two rows that compare equal draw
// the same, so the list redraws a row only when this value changes.
struct FileListRowModel {
    static constexpr double kRowHeight = 28;
    static constexpr double kHorizontalPadding = 8;
    static constexpr double kCopyIndent = 16; // extra left inset of a copy B row

    Photo photo;
    RetouchSlot slot = RetouchSlot::a;
    bool isCurrent = false;
    bool hasHeart = false;
    PhotoSource source = PhotoSource::jpeg;
    std::vector<std::string> badgeComponents;

    bool operator==(const FileListRowModel&) const = default;

    static FileListRowModel make(const PhotoLibrary& library, PhotoListRowView row);

    std::string id() const { return PhotoListRow::id(photo, slot); }
    std::optional<FileListSourcePresentation> sourcePresentation() const;
    // The base name of a paired photo, the whole file name otherwise; the copy B name for slot b.
    std::string nameText() const;
    double leadingInset() const { return kHorizontalPadding + (slot == RetouchSlot::b ? kCopyIndent : 0); }
    // The delete button belongs to a copy B under the pointer.
    bool showsDeleteButton(bool isHovered) const { return slot == RetouchSlot::b && isHovered; }
    SourceBadgeVisualState badgeState(PhotoSource badgeSource) const {
        return badgeSource == source ? SourceBadgeVisualState::selected : SourceBadgeVisualState::unselected;
    }

    ViewColor background(bool isHovered) const;
    ViewColor heartColor() const;
    ViewColor nameColor() const;
    ViewColor badgeColor() const;
};

// The parts of the file list that do not depend on one row.
struct FileListPanelModel {
    static constexpr double kWidth = 240;
    static constexpr double kSortBarHeight = 24;

    // The identifier of the current row; none without a current photo.
    static std::optional<std::string> currentRowID(const PhotoLibrary& library);
    // "ファイル名" or "撮影日時".
    static std::string sortKeyLabel(PhotoSortKey key);
    // Whether the direction button shows the upward arrow.
    static bool showsUpArrow(bool ascending) { return ascending; }
    // The sort bar's texts are in the text colour under the pointer, grey otherwise.
    static ViewColor sortButtonColor(bool isHovered) {
        return isHovered ? ViewPalette::text : ViewPalette::secondaryText;
    }
};

} // namespace sorvin
