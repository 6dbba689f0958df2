// RAW image properties: LibRaw identifies the file (without unpacking the sensor data) for the
// developed size and orientation; the capture date comes from the file's own TIFF structure, or from exiv2
// for the containers that are not TIFF-based.
#include "platform/container_extents.hpp"
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/raw_developed_size.hpp"
#include "platform/regular_file.hpp"
#include "platform/tiff_structure.hpp"

#include <array>
#include <cstring>
#include <libraw/libraw.h>
#include <memory>

namespace sorvin::ImagePropertiesReader {

namespace {

// LibRaw's flip code, indexed, as the EXIF orientation it stands for.
constexpr std::array<long, 8> orientationOfFlip = {1, 2, 4, 3, 5, 8, 6, 7};

// A LibRaw object is large and costly to set up; each worker thread keeps one and recycles it.
LibRaw& threadLibRaw() {
    // Quiet: LibRaw would print its reports of bad data and failed allocations.
    thread_local const std::unique_ptr<LibRaw> raw =
        std::make_unique<LibRaw>(LIBRAW_OPTIONS_NO_DATAERR_CALLBACK);
    return *raw;
}

struct Recycle {
    LibRaw& raw;
    ~Recycle() { raw.recycle(); }
};

} // namespace

std::optional<ImageProperties> readRaw(const RegularFile& file) {
    // A RAW file cut short keeps a valid header; its image data then run past the end.
    std::uint8_t signature[8] = {};
    const bool isoMedia = file.readAt(0, signature, 8) && std::memcmp(signature + 4, "ftyp", 4) == 0;
    const bool tiff = !isoMedia && TiffStructure::isTiff(file);
    if (isoMedia && !ContainerExtents::boxesLieWithinFile(file)) return std::nullopt;
    if (tiff && !TiffStructure::dataLiesWithinFile(file)) return std::nullopt;
    const std::string openedPath = file.descriptorPath();

    ImageProperties properties;
    {
        LibRaw& raw = threadLibRaw();
        Recycle recycle{raw};
        if (raw.open_file(openedPath.c_str()) != LIBRAW_SUCCESS) return std::nullopt;
        const auto& sizes = raw.imgdata.sizes;
        const std::int64_t width = sizes.width;
        const std::int64_t height = sizes.height;
        const std::int64_t rawPixels = std::int64_t{sizes.raw_width} * sizes.raw_height;
        if (width < 1 || height < 1 || width * height > maxPixelCount || rawPixels > maxPixelCount)
            return std::nullopt;
        // The sensor data must begin inside the file.
        const auto& unpacker = raw.get_internal_data_pointer()->unpacker_data;
        if (unpacker.data_offset <= 0 || static_cast<std::uint64_t>(unpacker.data_offset) >= file.size())
            return std::nullopt;
        // Listed at the size it develops to, stretched and turned square where LibRaw does so.
        const auto developed = RawDevelopedSize::of(raw);
        if (!developed || std::int64_t{developed->width} * developed->height > maxPixelCount)
            return std::nullopt;
        properties.pixelWidth = developed->width;
        properties.pixelHeight = developed->height;
        const int flip = sizes.flip;
        properties.orientation =
            flip >= 0 && flip < 8 ? orientationOfFlip[static_cast<std::size_t>(flip)] : 1;
    }
    // exiv2 decodes every tag and maker note of a file: only for containers our reader does not know.
    properties.dateTimeOriginal = tiff ? TiffStructure::exifBasics(file).dateTimeOriginal
                                       : ExifBlock::readFile(openedPath).dateTimeOriginal;
    return properties;
}

} // namespace sorvin::ImagePropertiesReader
