#include "platform/srgb_profile.hpp"

#include <lcms2.h>

namespace sorvin::SrgbProfile {

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
        return result;
    }();
    return bytes;
}

} // namespace sorvin::SrgbProfile
