#pragma once

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
};

} // namespace sorvin::test
