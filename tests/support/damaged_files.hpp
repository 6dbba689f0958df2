#pragma once

// Real photo files damaged the way a pulled card or a broken-off copy leaves them: cut short
// after their header, or with picture data overwritten by zeros.
#include "support/test_support.hpp"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace sorvin::test::damaged {

struct Damage {
    std::string name;         // for the test's messages
    std::string sample;       // below the samples folder
    std::uintmax_t keptBytes; // the file is cut to this many bytes; 0: not cut
    bool zeroedScan = false;  // the JPEG's picture data (after its first SOS segment) set to zeros
    // Byte ranges (offset, length) set to zeros, the file's size unchanged.
    std::vector<std::pair<std::size_t, std::size_t>> zeroedRanges = {};
};

// Where the first scan's coded data begins in a JPEG: just after its SOS segment.
inline std::size_t jpegScanStart(const std::string& bytes) {
    std::size_t at = 2;
    while (at + 4 <= bytes.size() && static_cast<std::uint8_t>(bytes[at]) == 0xFF) {
        const auto marker = static_cast<std::uint8_t>(bytes[at + 1]);
        const std::size_t length = (static_cast<std::size_t>(static_cast<std::uint8_t>(bytes[at + 2])) << 8) |
                                   static_cast<std::uint8_t>(bytes[at + 3]);
        at += 2 + length;
        if (marker == 0xDA) return at;
    }
    return 0;
}

// The sample damaged as described, written to `file`.
inline void write(const Damage& damage, const std::filesystem::path& file) {
    std::ifstream in(sample(damage.sample), std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), {}};
    if (damage.zeroedScan) {
        const std::size_t start = jpegScanStart(bytes);
        if (start > 0 && start + 2 < bytes.size())
            std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end() - 2, '\0');
    }
    for (const auto& [offset, length] : damage.zeroedRanges) {
        if (offset + length <= bytes.size())
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), length, '\0');
    }
    if (damage.keptBytes > 0 && damage.keptBytes < bytes.size()) bytes.resize(damage.keptBytes);
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// JPEG files damaged after a header that reads well, as the screen still shows them.
inline std::vector<Damage> jpegDamages() {
    return {
        {"cut to 40 KB of 890 KB", "jpeg/nikon_d70s_gps_lens.jpg", 40'000},
        {"cut to 200 KB of 890 KB", "jpeg/nikon_d70s_gps_lens.jpg", 200'000},
        {"only its end marker and last byte of data missing", "jpeg/nikon_d70s_gps_lens.jpg", 889'826},
        {"cut to 5 KB of 246 KB", "jpeg/orientation/portrait_6.jpg", 5'000},
        {"progressive, cut between two scans", "jpeg/progressive_large.jpg", 234'493},
        {"picture data zeroed", "jpeg/nikon_d70s_gps_lens.jpg", 0, true},
        {"picture data zeroed, restart markers lost", "jpeg/iceland_displayp3_nikon_d800e.jpg", 0, true},
    };
}

// The Blackmagic DNG's four lossless-JPEG tiles overwritten by zeros (their offsets and lengths as
// its IFD gives them).
inline Damage losslessTilesWithoutJpeg() {
    return {"lossless DNG whose tiles hold no JPEG",
            "raw/blackmagic_pocket4k.dng",
            0,
            false,
            {{10'240, 849'001}, {859'264, 840'481}, {1'699'776, 822'891}, {2'522'688, 836'870}}};
}

// A HEIF file and RAW files of eight kinds (packed, lossless-JPEG tiles, lossy-JPEG tiles, bit-packed
// DNG, compressed NEF and ORF, Panasonic's blocks, the Sony A100's ARW) cut short, each within its
// picture data; and a lossless DNG whose tiles hold no JPEG, which LibRaw's decoder passes over
// without a word.
inline std::vector<Damage> otherDamages() {
    return {
        {"HEIF cut to 1.4 MB of 1.5 MB", "heif/iphone8_gps.heic", 1'400'000},
        {"packed NEF missing its last 1000 bytes", "raw/nikon_d1.nef", 4'054'474},
        {"DNG cut to 95 %", "raw/blackmagic_pocket4k.dng", 3'191'635},
        {"lossy DNG missing its last 1000 bytes", "raw/canon_eos_6d_linear_lossy.dng", 410'944},
        {"bit-packed DNG missing its last 16 bytes", "raw/magiclantern_canon_550d_uncompressed.dng",
         3'906'848},
        {"compressed NEF missing its last byte", "raw/constructed_nikon_compressed_nef_ends_file.nef",
         2'283'407},
        {"compressed ORF missing its last 2 bytes", "raw/constructed_olympus_compressed_orf_ends_file.orf",
         2'783'354},
        {"RW2 missing its last 16 KiB block", "raw/constructed_panasonic_rw2_gf1_layout.rw2", 3'015'184},
        {"Sony A100 ARW missing its last byte", "raw/constructed_sony_a100_layout_small.arw", 3'212'751},
        losslessTilesWithoutJpeg(),
    };
}

} // namespace sorvin::test::damaged
