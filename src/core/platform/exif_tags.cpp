#include "platform/exif_tags.hpp"

#include "platform/exif_block.hpp"
#include "platform/white_space_text.hpp"

#include <algorithm>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <limits>

namespace sorvin {

namespace {

// Longer numeric tags (maker-note tables, curves) are never shown and not kept.
constexpr long kMaxNumbersPerTag = 64;

bool isNumeric(Exiv2::TypeId type) {
    switch (type) {
    case Exiv2::unsignedByte:
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedByte:
    case Exiv2::signedShort:
    case Exiv2::signedLong:
    case Exiv2::unsignedRational:
    case Exiv2::signedRational:
    case Exiv2::tiffFloat:
    case Exiv2::tiffDouble:
        return true;
    default:
        return false;
    }
}

double numberAt(const Exiv2::Exifdatum& datum, long index) {
    switch (datum.typeId()) {
    case Exiv2::unsignedRational:
    case Exiv2::signedRational: {
        const Exiv2::Rational r = datum.toRational(index);
        if (r.second == 0) return std::numeric_limits<double>::quiet_NaN();
        return static_cast<double>(r.first) / static_cast<double>(r.second);
    }
    case Exiv2::tiffFloat:
    case Exiv2::tiffDouble:
        return static_cast<double>(datum.toFloat(index));
    default:
        return static_cast<double>(datum.toLong(index));
    }
}

} // namespace

template <typename Data>
ExifTags ExifTags::collected(const Data& data, std::span<const std::string_view> keys) {
    ExifTags tags;
    for (const auto& datum : data) {
        if (!keys.empty() && std::find(keys.begin(), keys.end(), datum.key()) == keys.end()) continue;
        const Exiv2::TypeId type = datum.typeId();
        if (isNumeric(type)) {
            const long count = datum.count();
            if (count > kMaxNumbersPerTag) continue;
            std::vector<double> values;
            values.reserve(static_cast<std::size_t>(count));
            for (long i = 0; i < count; ++i)
                values.push_back(numberAt(datum, i));
            tags.numbers_[datum.key()] = std::move(values);
        } else if (type == Exiv2::asciiString) {
            std::string text = datum.toString();
            while (!text.empty() && text.back() == '\0')
                text.pop_back();
            tags.texts_[datum.key()] = std::move(text);
        }
    }
    return tags;
}

ExifTags ExifTags::fromFile(const std::filesystem::path& path, std::span<const std::string_view> keys) {
    ExifBlock::initializeLibrary();
    try {
        auto image = Exiv2::ImageFactory::open(path.string());
        if (!image.get()) return {};
        image->readMetadata();
        ExifTags tags = collected(image->exifData(), keys);
        tags.pixelWidth_ =
            image->pixelWidth() > 0 && image->pixelWidth() <= INT_MAX ? image->pixelWidth() : 0;
        tags.pixelHeight_ =
            image->pixelHeight() > 0 && image->pixelHeight() <= INT_MAX ? image->pixelHeight() : 0;
        return tags;
    } catch (...) {
        return {};
    }
}

ExifTags ExifTags::fromTiffBlock(std::span<const std::uint8_t> block,
                                 std::span<const std::string_view> keys) {
    ExifBlock::initializeLibrary();
    if (block.size() < 8 || block.size() > 0xFFFFFFFFu) return {};
    try {
        Exiv2::ExifData data;
        Exiv2::ExifParser::decode(data, block.data(), static_cast<std::uint32_t>(block.size()));
        return collected(data, keys);
    } catch (...) {
        return {};
    }
}

ExifTags ExifTags::fromExifData(const Exiv2::ExifData& data, std::span<const std::string_view> keys) {
    try {
        return collected(data, keys);
    } catch (...) {
        return {};
    }
}

std::optional<std::vector<double>> ExifTags::numbers(std::string_view key) const {
    const auto it = numbers_.find(key);
    if (it == numbers_.end()) return std::nullopt;
    return it->second;
}

std::optional<double> ExifTags::number(std::string_view key) const {
    const auto it = numbers_.find(key);
    if (it == numbers_.end() || it->second.empty()) return std::nullopt;
    return it->second.front();
}

std::optional<std::int64_t> ExifTags::integer(std::string_view key) const {
    const auto value = number(key);
    if (!value || !std::isfinite(*value)) return std::nullopt;
    const double truncated = std::trunc(*value);
    // -2^63 is a double exactly; 2^63 is the first value past the range.
    constexpr double kLimit = 9223372036854775808.0;
    if (truncated < -kLimit || truncated >= kLimit) return std::nullopt;
    return static_cast<std::int64_t>(truncated);
}

std::optional<int> ExifTags::orientation() const {
    const auto value = integer("Exif.Image.Orientation");
    if (!value || *value != static_cast<int>(*value)) return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<std::string> ExifTags::text(std::string_view key) const {
    const auto it = texts_.find(key);
    if (it == texts_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> ExifTags::firstNamed(std::span<const std::string_view> keys) const {
    std::optional<std::string> stored;
    for (const std::string_view key : keys) {
        auto named = text(key);
        if (!named) continue;
        if (!WhiteSpaceText::trimmed(*named).empty()) return named;
        if (!stored) stored = std::move(named);
    }
    return stored;
}

std::optional<std::string> ExifTags::cameraMake() const {
    return firstNamed(kCameraMakeKeys);
}

std::optional<std::string> ExifTags::cameraModel() const {
    return firstNamed(kCameraModelKeys);
}

} // namespace sorvin
