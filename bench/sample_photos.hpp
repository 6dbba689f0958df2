#pragma once

#include <cstdlib>
#include <filesystem>

namespace sorvin::bench {

// The sample photos: $SORVIN_SAMPLES when set, else the project's own samples/ folder.
inline std::filesystem::path samplesDir() {
    if (const char* overridden = std::getenv("SORVIN_SAMPLES"); overridden && *overridden) return overridden;
    return SORVIN_SAMPLES_DIR;
}

} // namespace sorvin::bench
