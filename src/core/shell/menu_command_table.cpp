#include "shell/menu_command_table.hpp"

#include <array>
#include <cmath>

namespace sorvin {

namespace {

using C = MenuCommand;
using N = MenuName;

constexpr std::array<MenuItemRow, 32> table = {{
    {C::about, N::application, "Sorvinについて", ""},
    {C::checkForUpdates, N::application, "アップデートを確認…", "", false, true},
    {C::settings, N::application, "設定…", "Ctrl+,", false, true},
    {C::quit, N::application, "Sorvinを終了", "Ctrl+Q"},
    {C::chooseFolder, N::file, "フォルダを選ぶ…", "Ctrl+O", false, true},
    {C::exportHearted, N::file, "ハートを付けた写真を書き出す…", "Ctrl+E"},
    {C::exportCurrentPhoto, N::file, "この写真だけを書き出す…", "Ctrl+S", false, true},
    {C::copyExif, N::file, "EXIFをコピー", "Ctrl+I"},
    {C::copyImage, N::file, "画像をコピー", "Ctrl+P"},
    {C::undo, N::edit, "取り消す", "Ctrl+Z"},
    {C::redo, N::edit, "やり直す", "Ctrl+Shift+Z"},
    {C::heartsOnly, N::view, "ハート付きだけ表示", "Ctrl+F", true},
    {C::sortKey, N::view, "", "Ctrl+J"},
    {C::sortDirection, N::view, "", "Ctrl+U", false, true},
    {C::firstPhoto, N::view, "最初の写真へ", "Shift+Up"},
    {C::lastPhoto, N::view, "最後の写真へ", "Shift+Down", false, true},
    {C::rotateClockwiseHalf, N::view, "時計回りに0.5度", "Right"},
    {C::rotateCounterclockwiseHalf, N::view, "反時計回りに0.5度", "Left"},
    {C::rotateClockwise90, N::view, "時計回りに90度", "Shift+Right"},
    {C::rotateCounterclockwise90, N::view, "反時計回りに90度", "Shift+Left"},
    {C::resetRotation, N::view, "回転をリセット", "Shift+R"},
    {C::autoStraighten, N::view, "傾きを自動補正", "Shift+T", false, true},
    {C::cropSmaller, N::view, "クロップを1%小さく", "Ctrl+9"},
    {C::cropLarger, N::view, "クロップを1%大きく", "Ctrl+0"},
    {C::resetCrop, N::view, "クロップをリセット", "Shift+=", false, true},
    {C::grid, N::view, "グリッド表示", "Ctrl+G", true},
    {C::clippingWarning, N::view, "白飛び・黒潰れ警告", "Ctrl+L", true},
    {C::lowMemoryMode, N::view, "メモリ節約モード", "", true},
    {C::maximizePhoto, N::view, "写真最大化", "Ctrl+B", true, true},
    {C::resetZoom, N::view, "拡大をリセット", ""},
    {C::fullScreen, N::view, "フルスクリーンにする", ""},
    {C::minimize, N::window, "しまう", "Ctrl+M"},
}};

} // namespace

std::span<const MenuItemRow> MenuCommandTable::rows() {
    return table;
}

const MenuItemRow& MenuCommandTable::row(MenuCommand command) {
    for (const MenuItemRow& row : table)
        if (row.command == command) return row;
    return table.front();
}

std::string_view MenuCommandTable::menuTitle(MenuName menu) {
    switch (menu) {
    case N::application:
        return "Sorvin";
    case N::file:
        return "ファイル";
    case N::edit:
        return "編集";
    case N::view:
        return "表示";
    case N::window:
        return "ウインドウ";
    }
    return "";
}

bool MenuCommandTable::viewEnabled(const MenuStateSnapshot& s) {
    return s.screen == MenuStateSnapshot::Screen::select && !s.isModalExportPresented &&
           !s.adjustmentInputIsFocused;
}

MenuItemState MenuCommandTable::itemState(MenuCommand command, const MenuStateSnapshot& s) {
    const MenuItemRow& r = row(command);
    MenuItemState item{std::string(r.title), false, std::nullopt};
    const bool view = viewEnabled(s);
    const bool photo = view && s.hasLibrary && s.hasCurrentPhoto;
    switch (command) {
    case C::about:
    case C::quit:
    case C::settings:
    case C::minimize:
        item.enabled = true;
        break;
    case C::checkForUpdates:
        item.enabled = s.canCheckForUpdates;
        break;
    case C::chooseFolder:
        item.enabled = !s.isModalExportPresented && !s.adjustmentInputIsFocused;
        break;
    case C::exportHearted:
    case C::autoStraighten:
    case C::firstPhoto:
    case C::lastPhoto:
    case C::rotateClockwiseHalf:
    case C::rotateCounterclockwiseHalf:
    case C::rotateClockwise90:
    case C::rotateCounterclockwise90:
    case C::fullScreen:
        item.enabled = view;
        break;
    case C::exportCurrentPhoto:
        item.enabled = photo && !s.isSingleExportInProgress;
        break;
    case C::copyExif:
        item.enabled = photo;
        break;
    case C::copyImage:
        item.enabled = photo && !s.isImageCopyInProgress;
        break;
    case C::undo:
        item.enabled = s.canUndo && !s.isModalExportPresented && !s.adjustmentInputIsFocused;
        break;
    case C::redo:
        item.enabled = s.canRedo && !s.isModalExportPresented && !s.adjustmentInputIsFocused;
        break;
    case C::heartsOnly:
        item.enabled = view;
        item.checked = s.hasLibrary && s.isFiltered;
        break;
    case C::sortKey:
        item.enabled = view;
        item.title = s.sortKey == PhotoSortKey::name ? "並び替え: ファイル名" : "並び替え: 撮影日時";
        break;
    case C::sortDirection:
        item.enabled = view;
        item.title = s.sortAscending ? "昇順" : "降順";
        break;
    case C::resetRotation:
        item.enabled = view && std::abs(s.hasLibrary ? s.currentRotation : 0.0) >= 0.01;
        break;
    case C::cropSmaller:
        item.enabled = view && s.hasLibrary && s.currentCrop.sizeP >= 11;
        break;
    case C::cropLarger:
        item.enabled = view && s.hasLibrary && s.currentCrop.sizeP <= 99;
        break;
    case C::resetCrop:
        item.enabled = view && s.hasLibrary && !s.currentCrop.isDefault();
        break;
    case C::grid:
        item.enabled = view;
        item.checked = s.showGrid;
        break;
    case C::clippingWarning:
        item.enabled = view;
        item.checked = s.clippingWarning;
        break;
    case C::lowMemoryMode:
        item.enabled = s.screen == MenuStateSnapshot::Screen::home || view;
        item.checked = s.lowMemoryMode;
        break;
    case C::maximizePhoto:
        item.enabled = view;
        item.checked = s.rightPanelCollapsed && s.bottomPanelCollapsed;
        break;
    case C::resetZoom:
        item.enabled = view && !(s.hasLibrary && s.zoomScale == 1.0);
        break;
    }
    return item;
}

} // namespace sorvin
