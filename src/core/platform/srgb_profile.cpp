#include "platform/srgb_profile.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <lcms2.h>

namespace sorvin::SrgbProfile {

namespace {

// Where the header keeps the profile's creation date: six big-endian 16-bit numbers at byte 24.
constexpr std::size_t kDateOffset = 24;

void writeCreationDate(std::string& bytes, const CreationDate& date) {
    const std::array<std::uint16_t, 6> fields{date.year, date.month,  date.day,
                                              date.hour, date.minute, date.second};
    if (bytes.size() < kDateOffset + 2 * fields.size()) return;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        bytes[kDateOffset + 2 * i] = static_cast<char>(fields[i] >> 8);
        bytes[kDateOffset + 2 * i + 1] = static_cast<char>(fields[i] & 0xFF);
    }
}

} // namespace

const std::string& iccBytes() {
    static const std::string bytes = [] {
        std::string result;
        cmsHPROFILE profile = cmsCreate_sRGBProfile();
        if (!profile) return result;
        cmsUInt32Number size = 0;
        if (cmsSaveProfileToMem(profile, nullptr, &size) && size > 0) {
            result.resize(size);
            if (!cmsSaveProfileToMem(profile, result.data(), &size)) result.clear();
        }
        cmsCloseProfile(profile);
        // lcms2 dates a profile it makes with the present moment; ours always carries the same date,
        // so that one edit exported twice gives one file. (lcms2 leaves the profile's checksum, which
        // would cover the date, unset.)
        writeCreationDate(result, kCreationDate);
        return result;
    }();
    return bytes;
}

} // namespace sorvin::SrgbProfile
