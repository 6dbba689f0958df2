#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace sorvin {

// Pixel layouts a decoder hands to the conversion into sRGB.
enum class ColorInput {
    rgba,         // 8-bit R, G, B and a fourth byte that is passed through
    cmyk,         // 8-bit C, M, Y, K, 0 = no ink
    invertedCmyk, // 8-bit C, M, Y, K as Adobe writes them in JPEG files, 255 = no ink
};

// The conversion of decoded pixels into the program's colour space, sRGB, through LittleCMS. Made
// from the ICC profile embedded in a file; an RGB file without a usable profile counts as sRGB.
// Conversions are shared between threads and cached by profile, so the common wide-gamut
// profiles (Display P3, Adobe RGB) are built once.
class ColorProfile {
public:
    // None when the pixels need no conversion: an RGB file without a profile, with a profile
    // LittleCMS cannot read, with one of another colour model, or with sRGB itself. CMYK pixels
    // always get a conversion (the plain ink formula when there is no usable CMYK profile).
    static std::shared_ptr<const ColorProfile> toSrgb(std::span<const std::uint8_t> icc, ColorInput input);
    // An RGB space given by its primaries' and white point's chromaticities with the sRGB tone
    // curve (HEIF files describe their colours this way). None for the sRGB primaries.
    static std::shared_ptr<const ColorProfile> toSrgbFromPrimaries(const double primaries[8]);

    ~ColorProfile();
    ColorProfile(const ColorProfile&) = delete;
    ColorProfile& operator=(const ColorProfile&) = delete;

    // Converts count pixels of the input layout into RGBA (alpha 255 for CMYK input; the fourth
    // byte kept for RGBA input). Input and output may be the same buffer for RGBA.
    void convert(const std::uint8_t* input, std::uint8_t* rgba, std::size_t count) const;

    // Whether the profile's colorants and tone curves are those of sRGB.
    static bool isSrgb(std::span<const std::uint8_t> icc);

private:
    ColorProfile(void* transform, ColorInput input) : transform_(transform), input_(input) {}
    void* transform_; // LittleCMS transform; none for the plain CMYK formula
    ColorInput input_;
};

} // namespace sorvin
