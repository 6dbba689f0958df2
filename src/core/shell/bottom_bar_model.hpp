#pragma once

#include <string>

namespace sorvin {

class AppState;

// The last row of the browsing screen: filter and position slider, the counter, and the loupe and
// export buttons, as read from the application state and its library.
struct BottomBarModel {
    static constexpr double kHeight = 44;

    std::string filterLabel;
    bool filterEnabled = false;
    int sliderMaximum = 0; // the slider runs from 0
    bool sliderEnabled = false;
    std::string counter;
    bool loupeOn = false;
    bool loupeEnabled = false;
    bool singleExportEnabled = false;
    std::string batchExportLabel;
    bool batchExportEnabled = false;

    struct Inputs {
        bool hasLibrary = false;
        bool isFiltered = false;
        int cursorIndex = 0;
        int visibleCount = 0;
        int heartCount = 0;
        bool hasCurrentPhoto = false;
        bool loupeOn = false;
        bool loupeButtonIsEnabled = false;
        bool isSingleExportInProgress = false;
    };
    static Inputs inputs(const AppState& state);
    static BottomBarModel make(const Inputs& inputs);

    // "[絞り込み] 10 / 250   ♥ 12".
    static std::string counterText(bool isFiltered, int cursorIndex, int visibleCount, int heartCount);
    // The index the slider asks for when let go: its value rounded, halves away from zero.
    static int sliderIndex(double sliderValue);
    static constexpr std::string_view kLoupeLabel = "拡大（Alt）";
    static constexpr std::string_view kSingleExportLabel = "この1枚を書き出す";
};

} // namespace sorvin
