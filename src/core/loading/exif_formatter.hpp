#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// The short texts of the EXIF panel and of the copied EXIF text, made from the values the EXIF
// reader found. Numbers are written in the POSIX locale (full stop, no grouping unless stated);
// roundings to an integer go half away from zero. A value that cannot be shown gives the dash.
struct ExifFormatter {
    // U+2014, the text of a missing value.
    static constexpr const char* kMissing = "\u2014";

    // "Make Model", or the model alone when it already begins with the make.
    static std::string camera(const std::optional<std::string>& make,
                              const std::optional<std::string>& model);
    // "24–70mm F2.8" from the four values of the EXIF lens description; none unless all four are
    // finite and positive.
    static std::optional<std::string> lensSpecification(const std::optional<std::vector<double>>& values);
    static std::string focalLength(std::optional<double> millimetres); // "50 mm"
    static std::string aperture(std::optional<double> fNumber);        // "f/2.8", "f/2"
    static std::string shutterSpeed(std::optional<double> seconds);    // "1/250 秒", "2.5 秒"
    static std::string exposureBias(std::optional<double> ev);         // "+0.3 EV", "±0.0 EV"
    static std::string exposureProgram(std::optional<std::int64_t> code);       // "絞り優先", "不明"
    // "yyyy:MM:dd HH:mm:ss" to "yyyy-MM-dd HH:mm:ss" in the local time zone; the dash for text
    // that is no such date.
    static std::string captureDate(const std::optional<std::string>& text);
    static std::optional<std::string> imageNumber(std::optional<std::int64_t> number); // "12,345"
    // "W × H" upright: the sides are exchanged for the quarter-turned orientations 5 to 8.
    static std::string imageSize(std::optional<int> width, std::optional<int> height, int orientation);
    static std::string fileSize(std::optional<std::int64_t> bytes); // "512 KB", "2.4 MB"

    // "24" for an integral value, "5.6" otherwise.
    static std::string oneDecimalText(double value);
};

} // namespace sorvin
