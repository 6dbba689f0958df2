#include "platform/exif_block.hpp"

#include "platform/exif_tags.hpp"

#include <cstdio>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <jpeglib.h>
#include <mutex>

namespace sorvin::ExifBlock {

namespace {

constexpr std::string_view kBasicKeys[] = {"Exif.Image.Orientation", "Exif.Photo.DateTimeOriginal"};

ExifBasics basicsOf(const ExifTags& tags) {
    ExifBasics basics;
    if (const auto orientation = tags.orientation()) basics.orientation = *orientation;
    basics.dateTimeOriginal = tags.text(kBasicKeys[1]);
    return basics;
}

} // namespace

void initializeLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::LogMsg::setHandler(nullptr);
        Exiv2::XmpParser::initialize();
        Exiv2::enableBMFF(true);
    });
}

ExifBasics parse(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr) return {};
    return basicsOf(ExifTags::fromTiffBlock({bytes, size}, kBasicKeys));
}

ExifBasics readFile(const std::filesystem::path& path) {
    return basicsOf(ExifTags::fromFile(path, kBasicKeys));
}

std::span<const std::uint8_t> jpegSegmentPayload(const jpeg_marker_struct* markers) {
    static constexpr std::uint8_t signature[6] = {'E', 'x', 'i', 'f', 0, 0};
    for (auto m = markers; m != nullptr; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof signature &&
            std::memcmp(m->data, signature, sizeof signature) == 0)
            return {m->data + sizeof signature, m->data_length - sizeof signature};
    }
    return {};
}

std::span<const std::uint8_t> heifItemPayload(std::span<const std::uint8_t> item) {
    if (item.size() < 8) return {};
    const std::uint64_t offset = 4 + ((std::uint64_t{item[0]} << 24) | (std::uint64_t{item[1]} << 16) |
                                      (std::uint64_t{item[2]} << 8) | item[3]);
    if (offset >= item.size()) return {};
    return item.subspan(static_cast<std::size_t>(offset));
}

} // namespace sorvin::ExifBlock
