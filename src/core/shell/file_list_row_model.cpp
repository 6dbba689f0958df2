#include "shell/file_list_row_model.hpp"

#include "library/photo_library.hpp"
#include "model/adjustment_badge_formatter.hpp"

namespace sorvin {

FileListRowModel FileListRowModel::make(const PhotoLibrary& library, PhotoListRowView row) {
    FileListRowModel model;
    model.photo = row.photo;
    model.slot = row.slot;
    const Photo* current = library.currentPhoto();
    model.isCurrent =
        current && current->relativePath == row.photo.relativePath && library.currentSlot() == row.slot;
    model.hasHeart = library.containsHeart(row.photo.relativePath, row.slot);
    model.source = library.source(row.photo, row.slot);
    model.badgeComponents = AdjustmentBadgeFormatter::components(library.clampedCrop(row.photo, row.slot),
                                                                 library.rotation(row.photo, row.slot));
    return model;
}

std::optional<FileListSourcePresentation> FileListRowModel::sourcePresentation() const {
    return FileListSourcePresentation::make(photo);
}

std::string FileListRowModel::nameText() const {
    if (slot == RetouchSlot::b) return FileListLayout::retouchDuplicateFileName(photo);
    if (auto presentation = sourcePresentation()) return presentation->baseName;
    return photo.url.filename().string();
}

ViewColor FileListRowModel::background(bool isHovered) const {
    if (isCurrent) return ViewPalette::accent.withOpacity(0.25);
    if (isHovered) return ViewPalette::white.withOpacity(0.08);
    return ViewPalette::clear;
}

ViewColor FileListRowModel::heartColor() const {
    if (hasHeart) return ViewPalette::accent;
    return isCurrent ? ViewPalette::dimmedGrey : ViewPalette::darkGrey;
}

ViewColor FileListRowModel::nameColor() const {
    if (slot == RetouchSlot::b) return ViewPalette::text;
    if (isCurrent) return ViewPalette::white;
    return hasHeart ? ViewPalette::text : ViewPalette::secondaryText;
}

ViewColor FileListRowModel::badgeColor() const {
    return isCurrent ? ViewPalette::white.withOpacity(0.8) : ViewPalette::secondaryText;
}

std::optional<std::string> FileListPanelModel::currentRowID(const PhotoLibrary& library) {
    const Photo* current = library.currentPhoto();
    if (!current) return std::nullopt;
    return PhotoListRow::id(*current, library.currentSlot());
}

std::string FileListPanelModel::sortKeyLabel(PhotoSortKey key) {
    return key == PhotoSortKey::name ? "ファイル名" : "撮影日時";
}

} // namespace sorvin
