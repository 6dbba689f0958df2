#include "shell/pacing_settings.hpp"

#include "persistence/app_settings.hpp"
#include "persistence/preference_key.hpp"

#include <algorithm>
#include <cmath>

namespace sorvin {

const PacingSetting PacingSetting::holdAdvanceRate{PreferenceKey::holdAdvanceRate, 10,      2, 30, 1,
                                                   "キー押しっぱなしの送り速度",   " 枚/秒"};
const PacingSetting PacingSetting::scrollPointsPerStep{
    PreferenceKey::scrollPointsPerStep, 60, 20, 150, 5, "スクロール送りの感度", " pt"};

int PacingSetting::read(const AppSettings& settings) const {
    return settings.clampedInteger(key, defaultValue, minimum, maximum);
}

int PacingSetting::write(AppSettings& settings, double sliderValue) const {
    // A slider never reports anything but a finite number; anything else leaves the default.
    const double rounded = std::isfinite(sliderValue) ? std::round(sliderValue) : defaultValue;
    const int value = static_cast<int>(std::clamp(rounded, double(minimum), double(maximum)));
    settings.defaults().set(key, value);
    return value;
}

void PacingSetting::restoreDefaults(AppSettings& settings) {
    for (const PacingSetting* setting : {&holdAdvanceRate, &scrollPointsPerStep})
        settings.defaults().set(setting->key, setting->defaultValue);
}

} // namespace sorvin
