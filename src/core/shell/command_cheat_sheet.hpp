#pragma once

#include "shell/adjustment_key_modifiers.hpp"

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace sorvin {

class ParameterPresetStore;

// One labelled key of the cheat sheet: the text on the key cap and the modifiers of the shortcut.
struct CommandCheatSheetKey {
    std::string_view key;
    AdjustmentKeyModifiers modifiers;
};

struct CommandCheatSheetEntry {
    CommandCheatSheetKey key;
    std::string_view label;
};

// The picture of the keyboard shown while Ctrl is held on the browsing screen: what Ctrl plus each
// key does.
struct CommandCheatSheet {
    static const std::array<CommandCheatSheetEntry, 26>& labels();
    // Four rows of ten key caps.
    static const std::array<std::array<std::string_view, 10>, 4>& rows();
    // "↑" is drawn alone above the other three.
    static const std::array<std::string_view, 4>& arrowKeys();
    // The keys held without Ctrl to see the unedited photo, written above the arrow keys.
    static constexpr std::string_view originalPreviewNote =
        "\\ キー（ろ）か Super を\n押している間は元の写真";

    // Key text to label: the fixed table, with the first four characters of the first eight saved
    // presets' names on keys "1" to "8". Read afresh each time, so a renamed preset shows at once.
    static std::map<std::string, std::string> visibleLabels(const ParameterPresetStore& presetStore);
};

// The keyboard's geometry in points, top-left origin.
struct CommandCheatSheetMetrics {
    static constexpr std::array<double, 4> rowOffsets{0, 22, 33, 55};
    static constexpr double keySize = 44;
    static constexpr double keySpacing = 6;
    static constexpr double keyPitch = keySize + keySpacing;
    static constexpr double keyboardWidth = 699;
    static constexpr double keyboardHeight = 194;
    static constexpr double padding = 12;
    static constexpr double arrowClusterX = 555;
    static constexpr double arrowClusterY = 100;
    // The free corner above the arrow keys, right of the top rows, holds the original preview note.
    static constexpr double noteX = arrowClusterX;
    static constexpr double noteWidth = keyboardWidth - arrowClusterX;
    static constexpr double noteHeight = arrowClusterY - keySpacing;
    static constexpr int maximumPresetKeys = 8;
    static constexpr int presetLabelLength = 4; // user-perceived characters
    // A key's label shrinks down to this fraction of its size before it is cut.
    static constexpr double labelMinimumScale = 0.70;

    struct Origin {
        double x = 0;
        double y = 0;
        bool operator==(const Origin&) const = default;
    };
    // Top-left corner of key k of row r (both from 0).
    static Origin keyOrigin(int row, int key) { return {rowOffsets[row] + keyPitch * key, keyPitch * row}; }
    // Top-left corner of the arrow key at index i of CommandCheatSheet::arrowKeys().
    static Origin arrowKeyOrigin(int index);

    // The keyboard scaled to fit an area (inside the padding), the same factor on both axes.
    struct Fit {
        double scale = 1;
        double x = 0; // top-left corner of the scaled keyboard within the offered area
        double y = 0;
    };
    static Fit fit(double areaWidth, double areaHeight);
};

// How a key cap is drawn: labelled keys stand out, the others are faint.
struct CommandCheatSheetKeyCapStyle {
    bool labelled = false;
    double opacity() const { return labelled ? 1.0 : 0.25; }
    double borderWidth() const { return labelled ? 1.5 : 1.0; }
};

} // namespace sorvin
