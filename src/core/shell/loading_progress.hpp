#pragma once

#include <string>

namespace sorvin {

// What the loading screen shows of a running folder scan.
struct LoadingProgress {
    static constexpr int maximumBarWidth = 420;

    // "350 / 1200": plain decimal numbers without grouping.
    static std::string counterText(int processed, int total);
    // The bar's total is never below 1, so a scan that has counted nothing yet shows an empty bar.
    static double barTotal(int total);
};

} // namespace sorvin
