#include "shell/loading_progress.hpp"

#include <algorithm>

namespace sorvin {

std::string LoadingProgress::counterText(int processed, int total) {
    return std::to_string(processed) + " / " + std::to_string(total);
}

double LoadingProgress::barTotal(int total) {
    return std::max(static_cast<double>(total), 1.0);
}

} // namespace sorvin
