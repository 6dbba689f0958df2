#include "platform/image_properties.hpp"

#include "platform/heif_file.hpp"
#include "platform/jpeg_decoder.hpp"
#include "platform/regular_file.hpp"

#include <array>

namespace sorvin::ImagePropertiesReader {

std::optional<ImageProperties> read(const std::filesystem::path& path, ImageContainer claimed) {
    const auto file = RegularFile::open(path, maxFileBytes);
    std::array<std::uint8_t, 16> head{};
    const auto size = file ? static_cast<std::size_t>(std::min<std::uint64_t>(file->size(), head.size())) : 0;
    if (!file || !file->readAt(0, head.data(), size)) return std::nullopt;
    const std::span<const std::uint8_t> start(head.data(), size);
    if (JpegDecoder::looksLikeJpeg(start)) return readJpeg(*file);
    if (HeifFile::looksLikeHeif(start)) return readHeif(*file);
    if (claimed == ImageContainer::raw) return readRaw(*file);
    return std::nullopt;
}

std::optional<ImageProperties> readJpeg(const std::filesystem::path& path) {
    const auto file = RegularFile::open(path, maxFileBytes);
    return file ? readJpeg(*file) : std::nullopt;
}

std::optional<ImageProperties> readHeif(const std::filesystem::path& path) {
    const auto file = RegularFile::open(path, maxFileBytes);
    return file ? readHeif(*file) : std::nullopt;
}

std::optional<ImageProperties> readRaw(const std::filesystem::path& path) {
    const auto file = RegularFile::open(path, maxFileBytes);
    return file ? readRaw(*file) : std::nullopt;
}

} // namespace sorvin::ImagePropertiesReader
