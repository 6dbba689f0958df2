#pragma once

#include "app/record_wait.hpp"

#include <string>

namespace sorvin {

// What the loading screen shows of a running folder scan.
struct LoadingProgress {
    static constexpr int maximumBarWidth = 420;

    // "350 / 1200": plain decimal numbers without grouping.
    static std::string counterText(int processed, int total);
    // The bar's total is never below 1, so a scan that has counted nothing yet shows an empty bar.
    static double barTotal(int total);
    // Why the screen waits before it reads the folder's record: "保存が終わるのを待っています" for
    // this copy's own save, and which other copy of the program holds the record.
    static std::string waitText(const RecordWait& wait);
};

} // namespace sorvin
