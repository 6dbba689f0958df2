#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// The EXIF values shown for one photo file, as the EXIF reader found them.
struct ExifMetadata {
    std::optional<double> exposureTime; // seconds
    std::optional<double> fNumber;
    std::optional<std::int64_t> iso;
    std::optional<double> exposureBias; // EV
    std::optional<std::int64_t> exposureProgram; // EXIF code
    std::optional<double> focalLength;  // mm
    std::optional<std::int64_t> focalLength35mm; // mm
    std::optional<std::string> lensModel;
    std::optional<std::int64_t> imageNumber;
    std::optional<std::vector<double>> lensSpecification;
    std::optional<std::string> bodySerialNumber;
    std::optional<std::string> lensSerialNumber;
    std::optional<std::string> make;
    std::optional<std::string> model;
    std::optional<std::string> dateTimeOriginal; // the EXIF text
    std::string fileName;
    std::optional<int> pixelWidth;
    std::optional<int> pixelHeight;
    int orientation = 1;
    std::optional<std::int64_t> fileSize; // bytes

    bool operator==(const ExifMetadata&) const = default;
};

} // namespace sorvin
