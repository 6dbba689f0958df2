#include "shell/bottom_bar_model.hpp"

#include "app/app_state.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

BottomBarModel::Inputs BottomBarModel::inputs(const AppState& state) {
    Inputs in;
    if (const PhotoLibrary* library = state.library()) {
        in.hasLibrary = true;
        in.isFiltered = library->isFiltered();
        in.cursorIndex = library->cursorIndex();
        in.visibleCount = static_cast<int>(library->visiblePhotos().size());
        in.heartCount = library->heartCount();
        in.hasCurrentPhoto = library->currentPhoto() != nullptr;
    }
    in.loupeOn = state.loupeOn();
    in.loupeButtonIsEnabled = state.loupeButtonIsEnabled();
    in.isSingleExportInProgress = state.isSingleExportInProgress();
    return in;
}

BottomBarModel BottomBarModel::make(const Inputs& in) {
    BottomBarModel bar;
    bar.filterLabel = in.isFiltered ? "すべて表示" : "♥だけ表示";
    bar.filterEnabled = in.heartCount > 0 || in.isFiltered;
    bar.sliderMaximum = std::max(in.visibleCount - 1, 0);
    bar.sliderEnabled = in.visibleCount >= 2;
    bar.counter = counterText(in.isFiltered, in.cursorIndex, in.visibleCount, in.heartCount);
    bar.loupeOn = in.loupeOn;
    bar.loupeEnabled = in.loupeButtonIsEnabled;
    bar.singleExportEnabled = in.hasCurrentPhoto && !in.isSingleExportInProgress;
    bar.batchExportLabel = "♥" + std::to_string(in.heartCount) + "枚を書き出す";
    bar.batchExportEnabled = in.heartCount > 0;
    return bar;
}

std::string BottomBarModel::counterText(bool isFiltered, int cursorIndex, int visibleCount, int heartCount) {
    std::string text = isFiltered ? "[絞り込み] " : "";
    text += std::to_string(cursorIndex + 1);
    text += " / ";
    text += std::to_string(visibleCount);
    text += "   ♥ ";
    text += std::to_string(heartCount);
    return text;
}

int BottomBarModel::sliderIndex(double sliderValue) {
    if (!std::isfinite(sliderValue)) return 0;
    return static_cast<int>(std::clamp(std::round(sliderValue), -1e9, 1e9));
}

} // namespace sorvin
