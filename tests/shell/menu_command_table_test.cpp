#include "shell/menu_command_table.hpp"

#include <gtest/gtest.h>
#include <map>
#include <set>

namespace sorvin {
namespace {

using C = MenuCommand;
using Screen = MenuStateSnapshot::Screen;

std::set<C> enabledItems(const MenuStateSnapshot& state) {
    std::set<C> enabled;
    for (const MenuItemRow& row : MenuCommandTable::rows())
        if (MenuCommandTable::itemState(row.command, state).enabled) enabled.insert(row.command);
    return enabled;
}

MenuStateSnapshot browsing() {
    MenuStateSnapshot state;
    state.screen = Screen::select;
    state.hasLibrary = true;
    state.hasCurrentPhoto = true;
    return state;
}

TEST(MenuCommandTable, ShortcutsOfEveryItem) {
    std::map<C, std::string_view> expected = {
        {C::quit, "Ctrl+Q"},
        {C::chooseFolder, "Ctrl+O"},
        {C::exportHearted, "Ctrl+E"},
        {C::exportCurrentPhoto, "Ctrl+S"},
        {C::copyExif, "Ctrl+I"},
        {C::copyImage, "Ctrl+P"},
        {C::heartsOnly, "Ctrl+F"},
        {C::sortKey, "Ctrl+J"},
        {C::sortDirection, "Ctrl+U"},
        {C::cropSmaller, "Ctrl+9"},
        {C::cropLarger, "Ctrl+0"},
        {C::grid, "Ctrl+G"},
        {C::clippingWarning, "Ctrl+L"},
        {C::maximizePhoto, "Ctrl+B"},
        {C::firstPhoto, "Shift+Up"},
        {C::lastPhoto, "Shift+Down"},
        {C::rotateClockwise90, "Shift+Right"},
        {C::rotateCounterclockwise90, "Shift+Left"},
        {C::resetRotation, "Shift+R"},
        {C::autoStraighten, "Shift+T"},
        {C::resetCrop, "Shift+="},
        {C::rotateClockwiseHalf, "Right"},
        {C::rotateCounterclockwiseHalf, "Left"},
        {C::undo, "Ctrl+Z"},
        {C::redo, "Ctrl+Shift+Z"},
        {C::minimize, "Ctrl+M"},
        {C::settings, "Ctrl+,"},
    };
    std::set<std::string_view> seen;
    for (const MenuItemRow& row : MenuCommandTable::rows()) {
        const auto found = expected.find(row.command);
        EXPECT_EQ(row.shortcut, found == expected.end() ? "" : found->second) << row.title;
        if (!row.shortcut.empty()) {
            EXPECT_TRUE(seen.insert(row.shortcut).second) << row.shortcut;
        }
    }
    EXPECT_EQ(seen.size(), expected.size());
}

TEST(MenuCommandTable, EnabledItemsPerScreen) {
    MenuStateSnapshot home;
    EXPECT_EQ(enabledItems(home),
              (std::set<C>{C::about, C::settings, C::quit, C::chooseFolder, C::lowMemoryMode, C::minimize}));
    home.canCheckForUpdates = true;
    EXPECT_TRUE(enabledItems(home).contains(C::checkForUpdates));

    MenuStateSnapshot loading;
    loading.screen = Screen::loading;
    EXPECT_TRUE(enabledItems(loading).contains(C::chooseFolder));
    EXPECT_FALSE(enabledItems(loading).contains(C::lowMemoryMode));

    MenuStateSnapshot focused = browsing();
    focused.adjustmentInputIsFocused = true;
    focused.canUndo = true;
    EXPECT_EQ(enabledItems(focused), (std::set<C>{C::about, C::settings, C::quit, C::minimize}));
    MenuStateSnapshot modal = browsing();
    modal.isModalExportPresented = true;
    EXPECT_EQ(enabledItems(modal), (std::set<C>{C::about, C::settings, C::quit, C::minimize}));
}

TEST(MenuCommandTable, EnablingLimitsOfCropRotationZoomAndProgress) {
    struct Row {
        const char* name;
        void (*change)(MenuStateSnapshot&);
        C command;
        bool enabled;
    };
    const Row rows[] = {
        {"size 10", [](MenuStateSnapshot& s) { s.currentCrop.sizeP = 10; }, C::cropSmaller, false},
        {"size 11", [](MenuStateSnapshot& s) { s.currentCrop.sizeP = 11; }, C::cropSmaller, true},
        {"size 100", [](MenuStateSnapshot& s) { s.currentCrop.sizeP = 100; }, C::cropLarger, false},
        {"size 99", [](MenuStateSnapshot& s) { s.currentCrop.sizeP = 99; }, C::cropLarger, true},
        {"uncropped", [](MenuStateSnapshot&) {}, C::resetCrop, false},
        {"ratio only", [](MenuStateSnapshot& s) { s.currentCrop.aspect = CropAspect::ratio(3, 2); },
         C::resetCrop, true},
        {"moved", [](MenuStateSnapshot& s) { s.currentCrop.xM = 100; }, C::resetCrop, true},
        {"0.005°", [](MenuStateSnapshot& s) { s.currentRotation = 0.005; }, C::resetRotation, false},
        {"-0.01°", [](MenuStateSnapshot& s) { s.currentRotation = -0.01; }, C::resetRotation, true},
        {"zoom 1", [](MenuStateSnapshot& s) { s.zoomScale = 1; }, C::resetZoom, false},
        {"zoom 1.5", [](MenuStateSnapshot& s) { s.zoomScale = 1.5; }, C::resetZoom, true},
        {"no library", [](MenuStateSnapshot& s) { s.hasLibrary = false; }, C::resetZoom, true},
        {"no library crop", [](MenuStateSnapshot& s) { s.hasLibrary = false; }, C::cropLarger, false},
        {"exporting", [](MenuStateSnapshot& s) { s.isSingleExportInProgress = true; }, C::exportCurrentPhoto,
         false},
        {"copying", [](MenuStateSnapshot& s) { s.isImageCopyInProgress = true; }, C::copyImage, false},
        {"no photo", [](MenuStateSnapshot& s) { s.hasCurrentPhoto = false; }, C::copyExif, false},
        {"no photo export", [](MenuStateSnapshot& s) { s.hasCurrentPhoto = false; }, C::exportHearted, true},
    };
    for (const Row& row : rows) {
        MenuStateSnapshot state = browsing();
        row.change(state);
        EXPECT_EQ(MenuCommandTable::itemState(row.command, state).enabled, row.enabled) << row.name;
    }
}

TEST(MenuCommandTable, TitlesAndChecksFollowTheState) {
    MenuStateSnapshot state = browsing();
    EXPECT_EQ(MenuCommandTable::itemState(C::sortKey, state).title, "並び替え: 撮影日時");
    EXPECT_EQ(MenuCommandTable::itemState(C::sortDirection, state).title, "昇順");
    state.sortKey = PhotoSortKey::name;
    state.sortAscending = false;
    EXPECT_EQ(MenuCommandTable::itemState(C::sortKey, state).title, "並び替え: ファイル名");
    EXPECT_EQ(MenuCommandTable::itemState(C::sortDirection, state).title, "降順");
    EXPECT_EQ(MenuCommandTable::itemState(C::sortDirection, state).checked, std::nullopt);

    state.rightPanelCollapsed = true;
    EXPECT_EQ(MenuCommandTable::itemState(C::maximizePhoto, state).checked, false);
    state.bottomPanelCollapsed = true;
    EXPECT_EQ(MenuCommandTable::itemState(C::maximizePhoto, state).checked, true);
    state.isFiltered = true;
    EXPECT_EQ(MenuCommandTable::itemState(C::heartsOnly, state).checked, true);
    state.hasLibrary = false;
    EXPECT_EQ(MenuCommandTable::itemState(C::heartsOnly, state).checked, false);
    for (const MenuItemRow& row : MenuCommandTable::rows())
        EXPECT_EQ(MenuCommandTable::itemState(row.command, state).checked.has_value(), row.checkable)
            << row.title;
}

} // namespace
} // namespace sorvin
