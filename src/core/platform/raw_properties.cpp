// RAW image properties: LibRaw identifies the file (without unpacking the sensor data) for the
// size and orientation; exiv2 reads the capture date.
#include "platform/container_extents.hpp"
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/regular_file.hpp"

#include <array>
#include <cstring>
#include <libraw/libraw.h>
#include <memory>

namespace sorvin::ImagePropertiesReader {

namespace {

// LibRaw's flip code, indexed, as the EXIF orientation it stands for.
constexpr std::array<long, 8> orientationOfFlip = {1, 2, 4, 3, 5, 8, 6, 7};

} // namespace

std::optional<ImageProperties> readRaw(const std::filesystem::path& path) {
    auto file = RegularFile::open(path, maxFileBytes);
    if (!file) return std::nullopt;
    // A RAW file cut short keeps a valid header; its image data then runs past the end.
    std::uint8_t signature[8] = {};
    const bool isoMedia = file->readAt(0, signature, 8) && std::memcmp(signature + 4, "ftyp", 4) == 0;
    if (isoMedia ? !ContainerExtents::boxesLieWithinFile(*file)
                 : !ContainerExtents::tiffDataLiesWithinFile(*file))
        return std::nullopt;
    const std::string openedPath = file->descriptorPath();

    auto raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    if (raw->open_file(openedPath.c_str()) != LIBRAW_SUCCESS) return std::nullopt;
    const auto& sizes = raw->imgdata.sizes;
    const std::int64_t width = sizes.width;
    const std::int64_t height = sizes.height;
    const std::int64_t rawPixels = std::int64_t{sizes.raw_width} * sizes.raw_height;
    if (width < 1 || height < 1 || width * height > maxPixelCount || rawPixels > maxPixelCount)
        return std::nullopt;
    // The sensor data must begin inside the file; a file cut short after its header does not.
    const auto& unpacker = raw->get_internal_data_pointer()->unpacker_data;
    if (unpacker.data_offset <= 0 || static_cast<std::uint64_t>(unpacker.data_offset) >= file->size())
        return std::nullopt;

    ImageProperties properties;
    properties.pixelWidth = static_cast<int>(width);
    properties.pixelHeight = static_cast<int>(height);
    const int flip = sizes.flip;
    properties.orientation = flip >= 0 && flip < 8 ? orientationOfFlip[static_cast<std::size_t>(flip)] : 1;
    raw->recycle();
    raw.reset();
    properties.dateTimeOriginal = ExifBlock::readFile(openedPath).dateTimeOriginal;
    return properties;
}

} // namespace sorvin::ImagePropertiesReader
