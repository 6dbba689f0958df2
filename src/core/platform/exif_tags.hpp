#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Exiv2 {
class ExifData;
}

namespace sorvin {

// The EXIF tags of a file read through exiv2, reduced to plain values: numbers (integers and
// rationals alike, as doubles) or ASCII text. Keys are exiv2's ("Exif.Photo.FNumber"). Every
// exiv2 error, on any untrusted file, gives an empty set rather than an exception.
class ExifTags {
public:
    ExifTags() = default;

    // The EXIF of a whole file in any container exiv2 reads (JPEG, TIFF-based RAW files, CRW ...).
    // Also notes the picture size exiv2 found in the file's own structure (0 when it has none).
    // When keys are given, only those tags are kept (a scan of many files needs few).
    static ExifTags fromFile(const std::filesystem::path& path, std::span<const std::string_view> keys = {});
    // A TIFF-structured EXIF block, as found after "Exif\0\0" in a JPEG or in a HEIF Exif item.
    static ExifTags fromTiffBlock(std::span<const std::uint8_t> block,
                                  std::span<const std::string_view> keys = {});
    // The tags exiv2 has read already.
    static ExifTags fromExifData(const Exiv2::ExifData& data, std::span<const std::string_view> keys = {});

    // The tags a file may name its camera in, as cameraMake and cameraModel read them.
    static constexpr std::string_view kCameraMakeKeys[] = {"Exif.Image.Make", "Exif.PanasonicRaw.Make"};
    static constexpr std::string_view kCameraModelKeys[] = {"Exif.Image.Model", "Exif.PanasonicRaw.Model",
                                                            "Exif.Image.UniqueCameraModel"};

    bool empty() const { return numbers_.empty() && texts_.empty(); }

    // All the values of a numeric tag, in order (an empty list stays empty); none when the tag is
    // missing or not a number. A rational with a zero denominator is not a number (NaN).
    std::optional<std::vector<double>> numbers(std::string_view key) const;
    // The first value of a numeric tag.
    std::optional<double> number(std::string_view key) const;
    // The first value as a signed 64-bit integer, the fraction dropped; none when it is not finite
    // or does not fit.
    std::optional<std::int64_t> integer(std::string_view key) const;
    // "Exif.Image.Orientation" (1 … 8 in a well-formed file), when it fits an int.
    std::optional<int> orientation() const;
    // An ASCII tag as stored, without the terminating NULs some writers count in.
    std::optional<std::string> text(std::string_view key) const;
    // The camera's maker and model as the file names them, each the first of its keys above that
    // holds text other than blanks, else the first one present, as stored. Cameras name themselves
    // in IFD0 (Exif.Image.Make); Panasonic's RW2 files keep the same tags in their own IFD, which
    // exiv2 files under the maker, and a DNG may name its camera only in UniqueCameraModel.
    std::optional<std::string> cameraMake() const;
    std::optional<std::string> cameraModel() const;

    int pixelWidth() const { return pixelWidth_; }
    int pixelHeight() const { return pixelHeight_; }

private:
    std::map<std::string, std::vector<double>, std::less<>> numbers_;
    std::map<std::string, std::string, std::less<>> texts_;
    int pixelWidth_ = 0;
    int pixelHeight_ = 0;

    template <typename Data>
    static ExifTags collected(const Data& data, std::span<const std::string_view> keys);
    std::optional<std::string> firstNamed(std::span<const std::string_view> keys) const;
};

} // namespace sorvin
