#include "loading/exif_formatter.hpp"

#include "platform/exif_date_time.hpp"
#include "platform/white_space_text.hpp"

#include <array>
#include <cmath>
#include <ctime>
#include <fmt/format.h>
#include <string_view>

namespace sorvin {

namespace {

// The nearest integer, halves away from zero, when it fits a signed 64-bit integer.
std::optional<std::int64_t> roundedInteger(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double rounded = std::round(value);
    // 2^63 is exactly representable; every double below it converts without overflow.
    if (rounded < -9223372036854775808.0 || rounded >= 9223372036854775808.0) return std::nullopt;
    return static_cast<std::int64_t>(rounded);
}

struct ExposureProgramName {
    int code;
    std::string_view text;
};

constexpr std::array<ExposureProgramName, 8> kExposurePrograms{{
    {1, "マニュアル"},
    {2, "プログラム"},
    {3, "絞り優先"},
    {4, "シャッター優先"},
    {5, "クリエイティブ"},
    {6, "アクション"},
    {7, "ポートレート"},
    {8, "風景"},
}};

constexpr std::string_view kUnknownProgram = "不明";

} // namespace

std::string ExifFormatter::oneDecimalText(double value) {
    return std::round(value) == value ? fmt::format("{:.0f}", value) : fmt::format("{:.1f}", value);
}

std::string ExifFormatter::camera(const std::optional<std::string>& make,
                                  const std::optional<std::string>& model) {
    const std::string trimmedMake = make ? WhiteSpaceText::trimmed(*make) : std::string();
    const std::string trimmedModel = model ? WhiteSpaceText::trimmed(*model) : std::string();
    if (!trimmedModel.empty()) {
        if (!trimmedMake.empty() && !trimmedModel.starts_with(trimmedMake))
            return trimmedMake + " " + trimmedModel;
        return trimmedModel;
    }
    return trimmedMake.empty() ? std::string(kMissing) : trimmedMake;
}

std::optional<std::string> ExifFormatter::lensSpecification(const std::optional<std::vector<double>>& values) {
    if (!values || values->size() != 4) return std::nullopt;
    for (double value : *values)
        if (!std::isfinite(value) || !(value > 0)) return std::nullopt;
    const auto& s = *values;
    auto range = [](double low, double high) {
        std::string text = oneDecimalText(low);
        if (high != low) text += "\u2013" + oneDecimalText(high);
        return text;
    };
    return range(s[0], s[1]) + "mm F" + range(s[2], s[3]);
}

std::string ExifFormatter::focalLength(std::optional<double> millimetres) {
    if (!millimetres) return kMissing;
    const auto rounded = roundedInteger(*millimetres);
    return rounded ? fmt::format("{} mm", *rounded) : std::string(kMissing);
}

std::string ExifFormatter::aperture(std::optional<double> fNumber) {
    if (!fNumber || !std::isfinite(*fNumber)) return kMissing;
    if (std::round(*fNumber) == *fNumber) {
        const auto integral = roundedInteger(*fNumber);
        return integral ? fmt::format("f/{}", *integral) : std::string(kMissing);
    }
    return fmt::format("f/{:.1f}", *fNumber);
}

std::string ExifFormatter::shutterSpeed(std::optional<double> seconds) {
    if (!seconds || std::isnan(*seconds) || *seconds <= 0 || std::isinf(*seconds)) return kMissing;
    if (*seconds >= 1) return fmt::format("{:.1f} 秒", *seconds);
    const auto denominator = roundedInteger(1 / *seconds);
    return denominator ? fmt::format("1/{} 秒", *denominator) : std::string(kMissing);
}

std::string ExifFormatter::exposureBias(std::optional<double> ev) {
    if (!ev || !std::isfinite(*ev)) return kMissing;
    if (*ev == 0) return "±0.0 EV";
    return fmt::format("{:+.1f} EV", *ev);
}

std::string ExifFormatter::exposureProgram(std::optional<std::int64_t> code) {
    if (code)
        for (const auto& entry : kExposurePrograms)
            if (entry.code == *code) return std::string(entry.text);
    return std::string(kUnknownProgram);
}

std::string ExifFormatter::captureDate(const std::optional<std::string>& text) {
    if (!text) return kMissing;
    const auto date = ExifDateTime::parse(*text);
    if (!date) return kMissing;
    const std::time_t seconds = std::chrono::system_clock::to_time_t(*date);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return kMissing;
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", local.tm_year + 1900, local.tm_mon + 1,
                       local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

std::optional<std::string> ExifFormatter::imageNumber(std::optional<std::int64_t> number) {
    if (!number) return std::nullopt;
    const auto magnitude = static_cast<std::uint64_t>(*number);
    const std::string digits = std::to_string(*number < 0 ? 0 - magnitude : magnitude);
    std::string grouped = *number < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string ExifFormatter::imageSize(std::optional<int> width, std::optional<int> height, int orientation) {
    if (!width || !height || *width < 1 || *height < 1) return kMissing;
    const bool quarterTurned = orientation >= 5 && orientation <= 8;
    return quarterTurned ? fmt::format("{} × {}", *height, *width) : fmt::format("{} × {}", *width, *height);
}

std::string ExifFormatter::fileSize(std::optional<std::int64_t> bytes) {
    if (!bytes) return kMissing;
    constexpr std::int64_t kMegabyte = 1048576;
    if (*bytes < kMegabyte)
        return fmt::format("{} KB", static_cast<std::int64_t>(std::round(*bytes / 1024.0)));
    return fmt::format("{:.1f} MB", static_cast<double>(*bytes) / static_cast<double>(kMegabyte));
}

} // namespace sorvin
