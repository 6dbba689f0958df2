#pragma once

#include "platform/damaged_data.hpp"
#include "platform/image.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class LibRaw;

namespace sorvin {

class RawFileStream;

// What a photographer can set when a RAW file is developed. Temperatures are in Kelvin, tints in
// the usual raw-converter units (see ColorTemperature), amounts are 0 … 1 unless noted.
struct RawFilterProperties {
    int orientation = 1;   // EXIF 1 … 8; the output is upright
    float scaleFactor = 1; // 0 < scale ≤ 1; the file is never enlarged
    float exposure = 0;    // EV
    float neutralTemperature = 5000;
    float neutralTint = 0;
    float boostAmount = 1;       // 0 gives a linear response, 1 the full tone curve
    float boostShadowAmount = 1; // how much of the curve's shadow contrast is kept
    // Optional controls: unset leaves the control off.
    std::optional<float> contrastAmount;
    std::optional<float> detailAmount;
    std::optional<float> sharpnessAmount;
    std::optional<float> colorNoiseReductionAmount;
    std::optional<float> luminanceNoiseReductionAmount;
    std::optional<bool> lensCorrectionEnabled;
};

// One RAW file developed through LibRaw into an upright 8-bit sRGB Image. Made from a file (which
// reads only its headers), steered by its properties, and developed by outputImage(). The
// supported* flags say which of the optional controls this layer honours for the file; an
// unsupported control is ignored.
//
// Every file is untrusted: the file size and the sensor size are capped, LibRaw's memory is
// capped, and every failure of LibRaw is a missing result, never an exception or a crash.
// One filter serves one thread at a time; separate filters may develop concurrently.
class RawFilter {
public:
    struct Size {
        double width = 0;
        double height = 0;
    };

    static constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t{1} << 30;
    static constexpr std::uint64_t kMaxSensorPixels = 250'000'000;

    // None when the file is missing, empty, too large, or not a RAW file LibRaw can read. The
    // properties start at the file's as-shot white balance. LibRaw pads the sensor data of a file
    // cut short without a word for many formats; a filter refusing damaged data develops nothing
    // from a file shorter than the sensor data its headers declare, or, where they declare none or
    // its decoder never reads past them (Panasonic's), once LibRaw has asked for sensor data beyond
    // the end of the file.
    static std::unique_ptr<RawFilter> make(const std::filesystem::path& file,
                                           DamagedData damaged = DamagedData::filledIn);
    ~RawFilter();
    RawFilter(const RawFilter&) = delete;
    RawFilter& operator=(const RawFilter&) = delete;

    bool isColorNoiseReductionSupported() const;
    bool isLuminanceNoiseReductionSupported() const;
    bool isSharpnessSupported() const;
    bool isContrastSupported() const;
    bool isDetailSupported() const;
    bool isLensCorrectionSupported() const;

    // The full developed size before orientation.
    Size nativeSize() const { return nativeSize_; }

    RawFilterProperties& properties() { return properties_; }
    const RawFilterProperties& properties() const { return properties_; }

    // Develops the file with the current properties. At a scale of one half or less a Bayer file
    // is developed at half size without demosaicing, then reduced. None when LibRaw fails on the
    // file's data, when its lossless-JPEG decoder would find no JPEG where the file says (it then
    // fills nothing and says nothing), when the picture's sensor values are all zero, or when
    // isCancelled answers true at one of LibRaw's stages (reading, scaling, interpolating,
    // converting): work nobody waits for stops there.
    SharedImage outputImage(const std::function<bool()>& isCancelled = {});

    // LibRaw's OpenMP team is capped to this many threads per development, so that several
    // developments and the engine's own parallel loops do not oversubscribe the machine.
    static int openMpThreadCap();

private:
    RawFilter();
    void readAsShotWhiteBalance();
    bool hasWhitePatch() const;
    bool measureCameraBalance(float out[4]);
    // Reads the sensor data once (LibRaw's threads capped first); false when it cannot be read.
    bool unpack();
    void multipliersFor(float kelvin, float tint, float out[4]) const;
    SharedImage develop();

    std::unique_ptr<RawFileStream> stream_; // outlives raw_
    std::unique_ptr<LibRaw> raw_;
    bool refusesDamage_ = false;
    bool unpacked_ = false;
    bool bayer_ = false;
    // LibRaw's wavelet reduction serves mosaics whose 2 × 2 blocks hold every colour; other
    // patterns (X-Trans) are calmed after demosaicing by our own.
    bool libRawReducesLuminanceNoise_ = true;
    int colors_ = 3;
    Size nativeSize_;
    RawFilterProperties properties_;
    float asShotMultipliers_[4] = {1, 1, 1, 1};
    double cameraFromXyz_[3][3] = {};
    float asShotTemperature_ = 5000;
    float asShotTint_ = 0;
};

} // namespace sorvin
