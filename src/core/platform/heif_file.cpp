#include "platform/heif_file.hpp"

#include "platform/color_profile.hpp"
#include "platform/draw_or_none.hpp"
#include "platform/exif_block.hpp"

#include <cstring>
#include <libheif/heif.h>
#include <string_view>

namespace sorvin {

namespace {

// An EXIF block larger than this is not read.
constexpr std::size_t kMaxExifBytes = 16u << 20;

std::shared_ptr<const ColorProfile> conversionOf(heif_image_handle* handle) {
    const std::size_t iccSize = heif_image_handle_get_raw_color_profile_size(handle);
    if (iccSize > 0 && iccSize <= (4u << 20)) {
        std::vector<std::uint8_t> icc(iccSize);
        if (heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok)
            return ColorProfile::toSrgb(icc, ColorInput::rgba);
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
        return nullptr;
    std::shared_ptr<const ColorProfile> conversion;
    if (nclx->color_primaries != heif_color_primaries_unspecified) {
        const double primaries[8] = {nclx->color_primary_red_x,   nclx->color_primary_red_y,
                                     nclx->color_primary_green_x, nclx->color_primary_green_y,
                                     nclx->color_primary_blue_x,  nclx->color_primary_blue_y,
                                     nclx->color_primary_white_x, nclx->color_primary_white_y};
        conversion = ColorProfile::toSrgbFromPrimaries(primaries);
    }
    heif_nclx_color_profile_free(nclx);
    return conversion;
}

} // namespace

bool HeifFile::looksLikeHeif(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 12 || std::memcmp(bytes.data() + 4, "ftyp", 4) != 0) return false;
    const std::string_view brand(reinterpret_cast<const char*>(bytes.data() + 8), 4);
    for (std::string_view known : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif"})
        if (brand == known) return true;
    return false;
}

std::unique_ptr<HeifFile> HeifFile::open(std::span<const std::uint8_t> bytes) {
    if (!looksLikeHeif(bytes)) return nullptr;
    std::unique_ptr<HeifFile> file(new HeifFile);
    file->context_ = heif_context_alloc();
    if (!file->context_) return nullptr;
    heif_context_set_maximum_image_size_limit(file->context_, 1 << 16);
    if (heif_context_read_from_memory_without_copy(file->context_, bytes.data(), bytes.size(), nullptr)
            .code != heif_error_Ok)
        return nullptr;
    if (heif_context_get_primary_image_handle(file->context_, &file->handle_).code != heif_error_Ok ||
        !file->handle_)
        return nullptr;
    const std::int64_t width = heif_image_handle_get_width(file->handle_);
    const std::int64_t height = heif_image_handle_get_height(file->handle_);
    if (width < 1 || height < 1 || width * height > kMaxPixels) return nullptr;
    file->width_ = static_cast<int>(width);
    file->height_ = static_cast<int>(height);
    return file;
}

HeifFile::~HeifFile() {
    if (handle_) heif_image_handle_release(handle_);
    if (context_) heif_context_free(context_);
}

std::optional<std::vector<std::uint8_t>> HeifFile::exifTiffBlock() const {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle_, "Exif", &id, 1) < 1) return std::nullopt;
    const std::size_t size = heif_image_handle_get_metadata_size(handle_, id);
    if (size < 8 || size > kMaxExifBytes) return std::nullopt;
    std::vector<std::uint8_t> block(size);
    if (heif_image_handle_get_metadata(handle_, id, block.data()).code != heif_error_Ok) return std::nullopt;
    const auto tiff = ExifBlock::heifItemPayload(block);
    if (tiff.size() < 8) return std::nullopt;
    return std::vector<std::uint8_t>(tiff.begin(), tiff.end());
}

std::optional<LoadedHeif> LoadedHeif::read(const RegularFile& file) {
    if (file.size() > kMaxFileBytes) return std::nullopt;
    LoadedHeif loaded;
    auto bytes = file.readAll();
    if (!bytes) return std::nullopt;
    loaded.bytes = std::move(*bytes);
    loaded.file = HeifFile::open(loaded.bytes.span());
    if (!loaded.file) return std::nullopt;
    return loaded;
}

SharedImage HeifFile::decode(DamagedData damaged) const {
    heif_decoding_options* options = heif_decoding_options_alloc();
    if (!options) return nullptr;
    const bool strict = damaged == DamagedData::refused;
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = 1;
    options->strict_decoding = strict ? 1 : 0;
    heif_image* picture = nullptr;
    const heif_error error =
        heif_decode_image(handle_, &picture, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, options);
    heif_decoding_options_free(options);
    if (error.code != heif_error_Ok || !picture) {
        if (picture) heif_image_release(picture);
        return nullptr;
    }
    std::unique_ptr<heif_image, void (*)(const heif_image*)> owned(picture, heif_image_release);
    if (strict && heif_image_get_decoding_warnings(picture, 0, nullptr, 0) > 0) return nullptr;

    const int width = heif_image_get_width(picture, heif_channel_interleaved);
    const int height = heif_image_get_height(picture, heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(picture, heif_channel_interleaved, &stride);
    if (!plane || width < 1 || height < 1 || stride < width * 4) return nullptr;
    const bool hasAlpha = heif_image_handle_has_alpha_channel(handle_) != 0;
    const bool premultiplied = heif_image_handle_is_premultiplied_alpha(handle_) != 0;
    const auto conversion = conversionOf(handle_);

    return drawOrNone([&] {
        PixelBuffer buffer = PixelBuffer::forOverwrite(width, height);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* in = plane + static_cast<std::size_t>(stride) * static_cast<std::size_t>(y);
            std::uint8_t* out = buffer.row(y);
            std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
            if (conversion) conversion->convert(out, out, static_cast<std::size_t>(width));
            if (hasAlpha && !premultiplied) {
                for (int x = 0; x < width; ++x) {
                    std::uint8_t* p = out + 4 * x;
                    const unsigned a = p[3];
                    for (int c = 0; c < 3; ++c)
                        p[c] = static_cast<std::uint8_t>((p[c] * a + 127) / 255);
                }
            }
        }
        return makeImage(std::move(buffer));
    });
}

} // namespace sorvin
