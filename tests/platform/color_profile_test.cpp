#include "platform/color_profile.hpp"
#include "platform/srgb_profile.hpp"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <lcms2.h>

namespace sorvin {
namespace {

std::vector<std::uint8_t> iccBytes(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    return bytes;
}

constexpr double kDisplayP3[8] = {0.680, 0.320, 0.265, 0.690, 0.150, 0.060, 0.3127, 0.3290};

TEST(ColorProfileTest, SrgbNeedsNoConversion) {
    const auto srgb = iccBytes(cmsCreate_sRGBProfile());
    EXPECT_TRUE(ColorProfile::isSrgb(srgb));
    EXPECT_FALSE(ColorProfile::toSrgb(srgb, ColorInput::rgba));
    EXPECT_FALSE(ColorProfile::toSrgb({}, ColorInput::rgba));
    const std::vector<std::uint8_t> junk(200, 7);
    EXPECT_FALSE(ColorProfile::toSrgb(junk, ColorInput::rgba));
    const double srgbPrimaries[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
    EXPECT_FALSE(ColorProfile::toSrgbFromPrimaries(srgbPrimaries));
}

// The profile every export embeds is lcms2's sRGB with one change: a fixed date in place of the
// moment it was built, which would make two runs' exports of one edit differ.
TEST(ColorProfileTest, OurSrgbProfileIsLcmsOwnWithAFixedDate) {
    const std::string& ours = SrgbProfile::iccBytes();
    const auto fresh = iccBytes(cmsCreate_sRGBProfile());
    ASSERT_EQ(ours.size(), fresh.size());
    std::vector<std::size_t> differing; // the date is bytes 24 to 35
    for (std::size_t i = 0; i < fresh.size(); ++i)
        if (static_cast<std::uint8_t>(ours[i]) != fresh[i] && (i < 24 || i >= 36)) differing.push_back(i);
    EXPECT_TRUE(differing.empty());
    EXPECT_TRUE(ColorProfile::isSrgb({reinterpret_cast<const std::uint8_t*>(ours.data()), ours.size()}));

    cmsHPROFILE profile = cmsOpenProfileFromMem(ours.data(), static_cast<cmsUInt32Number>(ours.size()));
    ASSERT_TRUE(profile);
    std::tm date{};
    ASSERT_TRUE(cmsGetHeaderCreationDateTime(profile, &date));
    cmsCloseProfile(profile);
    const SrgbProfile::CreationDate fixed = SrgbProfile::kCreationDate;
    EXPECT_EQ((std::vector<int>{date.tm_year + 1900, date.tm_mon + 1, date.tm_mday, date.tm_hour, date.tm_min,
                                date.tm_sec}),
              (std::vector<int>{fixed.year, fixed.month, fixed.day, fixed.hour, fixed.minute, fixed.second}));
}

TEST(ColorProfileTest, WideGamutRedIsClippedAndGreyStaysGrey) {
    const auto conversion = ColorProfile::toSrgbFromPrimaries(kDisplayP3);
    ASSERT_TRUE(conversion);
    std::uint8_t pixels[8] = {255, 0, 0, 200, 128, 128, 128, 255};
    conversion->convert(pixels, pixels, 2);
    EXPECT_EQ(pixels[0], 255);
    EXPECT_LT(pixels[1], 10);
    EXPECT_LT(pixels[2], 10);
    EXPECT_EQ(pixels[3], 200); // alpha passes through
    EXPECT_NEAR(pixels[4], 128, 1);
    EXPECT_NEAR(pixels[5], 128, 1);
    EXPECT_NEAR(pixels[6], 128, 1);
    // One conversion per profile, shared.
    EXPECT_EQ(ColorProfile::toSrgbFromPrimaries(kDisplayP3), conversion);
}

TEST(ColorProfileTest, CmykWithoutProfileUsesTheInkFormula) {
    const auto plain = ColorProfile::toSrgb({}, ColorInput::cmyk);
    const auto adobe = ColorProfile::toSrgb({}, ColorInput::invertedCmyk);
    ASSERT_TRUE(plain);
    ASSERT_TRUE(adobe);
    const std::uint8_t inks[12] = {0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0};
    std::uint8_t rgba[12];
    plain->convert(inks, rgba, 3);
    EXPECT_EQ((std::vector<int>{rgba[0], rgba[1], rgba[2], rgba[3]}), (std::vector<int>{255, 255, 255, 255}));
    EXPECT_EQ((std::vector<int>{rgba[4], rgba[5], rgba[6]}), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ((std::vector<int>{rgba[8], rgba[9], rgba[10]}), (std::vector<int>{0, 255, 255}));
    // Adobe writes the inks inverted: 255 is no ink.
    const std::uint8_t inverted[4] = {255, 255, 255, 255};
    adobe->convert(inverted, rgba, 1);
    EXPECT_EQ((std::vector<int>{rgba[0], rgba[1], rgba[2], rgba[3]}), (std::vector<int>{255, 255, 255, 255}));
}

} // namespace
} // namespace sorvin
