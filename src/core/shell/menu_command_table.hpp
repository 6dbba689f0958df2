#pragma once

#include "model/manual_crop.hpp"
#include "model/photo_sort_key.hpp"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sorvin {

// Every item of the menu bar. The items that another desktop would supply for free (undo, redo,
// minimise, settings) are built here by hand with the usual shortcuts.
enum class MenuCommand {
    about,
    checkForUpdates,
    settings,
    quit,
    chooseFolder,
    exportHearted,
    exportCurrentPhoto,
    copyExif,
    copyImage,
    undo,
    redo,
    heartsOnly,
    sortKey,
    sortDirection,
    firstPhoto,
    lastPhoto,
    rotateClockwiseHalf,
    rotateCounterclockwiseHalf,
    rotateClockwise90,
    rotateCounterclockwise90,
    resetRotation,
    autoStraighten,
    cropSmaller,
    cropLarger,
    resetCrop,
    grid,
    clippingWarning,
    lowMemoryMode,
    maximizePhoto,
    resetZoom,
    fullScreen,
    minimize,
};

enum class MenuName { application, file, edit, view, window };

// What the menus read of the application; every title, check mark and enabled state is a function
// of this snapshot alone.
struct MenuStateSnapshot {
    enum class Screen { home, loading, select };
    Screen screen = Screen::home;
    bool isModalExportPresented = false;
    bool adjustmentInputIsFocused = false;
    bool canCheckForUpdates = false;
    bool canUndo = false;
    bool canRedo = false;
    bool hasLibrary = false;
    bool hasCurrentPhoto = false;
    bool isFiltered = false;
    bool isSingleExportInProgress = false;
    bool isImageCopyInProgress = false;
    PhotoSortKey sortKey = PhotoSortKey::date;
    bool sortAscending = true;
    double currentRotation = 0;
    ManualCrop currentCrop;
    double zoomScale = 1;
    bool showGrid = false;
    bool clippingWarning = false;
    bool lowMemoryMode = false;
    bool rightPanelCollapsed = false;
    bool bottomPanelCollapsed = false;
};

struct MenuItemRow {
    MenuCommand command;
    MenuName menu;
    // The title of items whose title does not change.
    std::string_view title;
    // Portable shortcut text ("Ctrl+Q", "Shift+Up", "Right"); empty for none.
    std::string_view shortcut;
    bool checkable = false;
    bool dividerAfter = false;
};

struct MenuItemState {
    std::string title;
    bool enabled = false;
    std::optional<bool> checked;
    friend bool operator==(const MenuItemState&, const MenuItemState&) = default;
};

struct MenuCommandTable {
    // Every item in menu order.
    static std::span<const MenuItemRow> rows();
    static const MenuItemRow& row(MenuCommand command);
    static std::string_view menuTitle(MenuName menu);

    // The photo commands act only on the browsing screen, with no sheet up and no field focused.
    static bool viewEnabled(const MenuStateSnapshot& state);
    static MenuItemState itemState(MenuCommand command, const MenuStateSnapshot& state);
};

} // namespace sorvin
