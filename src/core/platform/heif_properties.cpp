// HEIF image properties through libheif. The size is the one after the file's rotation and mirror
// boxes, which libheif applies; the program then treats the image as orientation 1.
#include "platform/container_extents.hpp"
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/regular_file.hpp"

#include <libheif/heif.h>
#include <memory>
#include <vector>

namespace sorvin::ImagePropertiesReader {

namespace {

struct ReaderState {
    const RegularFile* file;
    std::int64_t position = 0;
};

const heif_reader fileReader = {
    1,
    [](void* state) -> std::int64_t { return static_cast<ReaderState*>(state)->position; },
    [](void* data, std::size_t size, void* userdata) -> int {
        auto* state = static_cast<ReaderState*>(userdata);
        if (!state->file->readAt(static_cast<std::uint64_t>(state->position), data, size)) return 1;
        state->position += static_cast<std::int64_t>(size);
        return 0;
    },
    [](std::int64_t position, void* userdata) -> int {
        auto* state = static_cast<ReaderState*>(userdata);
        if (position < 0 || static_cast<std::uint64_t>(position) > state->file->size()) return 1;
        state->position = position;
        return 0;
    },
    [](std::int64_t target, void* userdata) -> heif_reader_grow_status {
        auto* state = static_cast<ReaderState*>(userdata);
        return target >= 0 && static_cast<std::uint64_t>(target) <= state->file->size()
                   ? heif_reader_grow_status_size_reached
                   : heif_reader_grow_status_size_beyond_eof;
    },
};

std::optional<std::string> captureDate(const heif_image_handle* handle) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return std::nullopt;
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 8 || size > (std::size_t{16} << 20)) return std::nullopt;
    std::vector<std::uint8_t> block(size);
    if (heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok) return std::nullopt;
    const auto tiff = ExifBlock::heifItemPayload(block);
    if (tiff.empty()) return std::nullopt;
    return ExifBlock::parse(tiff.data(), tiff.size()).dateTimeOriginal;
}

} // namespace

std::optional<ImageProperties> readHeif(const std::filesystem::path& path) {
    auto file = RegularFile::open(path, maxFileBytes);
    if (!file || !ContainerExtents::boxesLieWithinFile(*file)) return std::nullopt;

    std::unique_ptr<heif_context, void (*)(heif_context*)> context(heif_context_alloc(), heif_context_free);
    if (!context) return std::nullopt;
    heif_context_set_maximum_image_size_limit(context.get(), 1 << 16);
    ReaderState state{&*file};
    if (heif_context_read_from_reader(context.get(), &fileReader, &state, nullptr).code != heif_error_Ok)
        return std::nullopt;
    heif_image_handle* rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok || !rawHandle)
        return std::nullopt;
    std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(rawHandle,
                                                                                  heif_image_handle_release);

    const std::int64_t width = heif_image_handle_get_width(handle.get());
    const std::int64_t height = heif_image_handle_get_height(handle.get());
    if (width < 1 || height < 1 || width * height > maxPixelCount) return std::nullopt;
    ImageProperties properties;
    properties.pixelWidth = static_cast<int>(width);
    properties.pixelHeight = static_cast<int>(height);
    properties.dateTimeOriginal = captureDate(handle.get());
    return properties;
}

} // namespace sorvin::ImagePropertiesReader
