#pragma once

#include "support/test_support.hpp"

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace sorvin::test {

struct RawSample {
    const char* file; // below the samples folder
    int width;
    int height;
};

// The picture sizes of the RAW samples, as stored (none of them carries a rotation).
inline constexpr RawSample kRawSamples[] = {
    {"raw/nikon_d1.nef", 2012, 1324},
    {"raw/canon_eos_d30.crw", 2176, 1448},
    {"raw/blackmagic_pocket4k.dng", 4128, 2176},
    {"raw/canon_eos_6d_linear_lossy.dng", 1224, 816},
    {"raw/constructed_fujifilm_xtrans_uncompressed.raf", 2012, 1324},
};

// The same picture as nikon_d1.nef, sampled in Fujifilm's 6 × 6 X-Trans pattern.
inline constexpr const char* kXTransSample = "raw/constructed_fujifilm_xtrans_uncompressed.raf";

// Every file of the raw samples folder of a kind a folder of photos lists, by name.
inline std::vector<std::filesystem::path> listedRawSamples() {
    const std::set<std::string> listedKinds = {".nef", ".nrw", ".cr3", ".cr2", ".arw", ".srf",
                                               ".sr2", ".raf", ".orf", ".rw2", ".pef", ".dng"};
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(sample("raw"))) {
        if (listedKinds.count(entry.path().extension().string())) files.push_back(entry.path());
    }
    std::ranges::sort(files);
    return files;
}

} // namespace sorvin::test
