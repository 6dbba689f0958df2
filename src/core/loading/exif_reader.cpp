#include "loading/exif_reader.hpp"

#include "platform/exif_tags.hpp"
#include "platform/heif_file.hpp"
#include "platform/jpeg_decoder.hpp"
#include "platform/regular_file.hpp"
#include "platform/white_space_text.hpp"

#include <array>
#include <system_error>

namespace sorvin {

namespace {

std::optional<std::string> serialNumber(const ExifTags& tags, std::string_view key) {
    auto text = tags.text(key);
    if (!text) return std::nullopt;
    std::string trimmed = WhiteSpaceText::trimmed(*text);
    if (trimmed.empty()) return std::nullopt;
    return trimmed;
}

std::optional<int> positive(int value) {
    return value > 0 ? std::optional<int>(value) : std::nullopt;
}

struct FileContent {
    ExifTags tags;
    std::optional<int> pixelWidth;
    std::optional<int> pixelHeight;
    std::optional<int> orientation;
};

FileContent readContent(const PhotoAsset& asset) {
    FileContent content;
    const auto file = RegularFile::open(asset.url, LoadedHeif::kMaxFileBytes * 4);
    if (!file) return content;
    std::array<std::uint8_t, 16> head{};
    const std::size_t headSize = static_cast<std::size_t>(std::min<std::uint64_t>(file->size(), head.size()));
    if (!file->readAt(0, head.data(), headSize)) return content;
    const std::span<const std::uint8_t> start(head.data(), headSize);

    // HEIF files are read whole for their EXIF item.
    if (HeifFile::looksLikeHeif(start)) {
        const auto loaded = LoadedHeif::read(*file);
        if (!loaded) return content;
        const auto& heif = loaded->file;
        if (const auto block = heif->exifTiffBlock()) content.tags = ExifTags::fromTiffBlock(*block);
        content.pixelWidth = heif->width();
        content.pixelHeight = heif->height();
        content.orientation = 1;
        return content;
    }

    content.tags = ExifTags::fromFile(file->descriptorPath());
    content.orientation = content.tags.orientation();
    // exiv2 knows the picture size from a JPEG's frame header; for RAW files the size it finds
    // belongs to some embedded preview, so the scan's developed size stands.
    if (JpegDecoder::looksLikeJpeg(start)) {
        content.pixelWidth = positive(content.tags.pixelWidth());
        content.pixelHeight = positive(content.tags.pixelHeight());
    }
    return content;
}

} // namespace

ExifMetadata ExifReader::read(const Photo& photo, std::optional<PhotoSource> source) {
    const PhotoSource resolved = photo.resolvedSource(source);
    const PhotoAsset asset = photo.asset(resolved);
    const FileContent content = readContent(asset);
    const ExifTags& tags = content.tags;

    ExifMetadata m;
    m.exposureTime = tags.number("Exif.Photo.ExposureTime");
    m.fNumber = tags.number("Exif.Photo.FNumber");
    m.iso = tags.integer("Exif.Photo.ISOSpeedRatings");
    m.exposureBias = tags.number("Exif.Photo.ExposureBiasValue");
    m.exposureProgram = tags.integer("Exif.Photo.ExposureProgram");
    m.focalLength = tags.number("Exif.Photo.FocalLength");
    m.focalLength35mm = tags.integer("Exif.Photo.FocalLengthIn35mmFilm");
    m.lensModel = tags.text("Exif.Photo.LensModel");
    m.imageNumber = tags.integer("Exif.Image.ImageNumber");
    m.lensSpecification = tags.numbers("Exif.Photo.LensSpecification");
    m.bodySerialNumber = serialNumber(tags, "Exif.Photo.BodySerialNumber");
    m.lensSerialNumber = serialNumber(tags, "Exif.Photo.LensSerialNumber");
    m.make = tags.cameraMake();
    m.model = tags.cameraModel();
    m.dateTimeOriginal = tags.text("Exif.Photo.DateTimeOriginal");
    m.fileName = asset.url.filename().string();
    m.pixelWidth = content.pixelWidth.value_or(asset.pixelWidth);
    m.pixelHeight = content.pixelHeight.value_or(asset.pixelHeight);
    m.orientation = content.orientation.value_or(asset.orientation);
    std::error_code error;
    const auto size = std::filesystem::file_size(asset.url, error);
    if (!error) m.fileSize = static_cast<std::int64_t>(size);
    return m;
}

} // namespace sorvin
