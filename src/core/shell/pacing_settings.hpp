#pragma once

#include <string>
#include <string_view>

namespace sorvin {

class AppSettings;

// The two input-pacing preferences of the settings window. Both are read again wherever they are
// used, so a change takes effect at once.
struct PacingSetting {
    std::string_view key;
    int defaultValue;
    int minimum;
    int maximum;
    int sliderStep;
    std::string_view title;
    std::string_view unit; // follows the value, " 枚/秒" or " pt"

    // The stored value, clamped; the default when missing or unusable.
    int read(const AppSettings& settings) const;
    // A slider's position rounded half away from zero and clamped; it is then stored as an integer
    // and returned as the value to show.
    int write(AppSettings& settings, double sliderValue) const;
    std::string valueText(int value) const { return std::to_string(value) + std::string(unit); }

    // Photos per second while Up or Down is held.
    static const PacingSetting holdAdvanceRate;
    // Scroll distance in points that advances one photo.
    static const PacingSetting scrollPointsPerStep;
    // "既定に戻す": both back to their defaults, written even when already there.
    static void restoreDefaults(AppSettings& settings);
};

} // namespace sorvin
