#include "platform/jpeg_encoder.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace sorvin::JpegEncoder {

namespace {

// The largest payload of one APP1 segment after its "Exif\0\0" header.
constexpr std::size_t kMaximumExifBytes = 65533 - 6;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr, int) {} // no warnings on the console

// Everything that touches libjpeg lives here, with no C++ object whose destructor a longjmp
// would skip.
bool compress(const Image& image, int quality, const std::string& exif, const std::string& icc,
              unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 4;
    info.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    if (!exif.empty() && exif.size() <= kMaximumExifBytes) {
        const unsigned int length = static_cast<unsigned int>(exif.size() + 6);
        jpeg_write_m_header(&info, JPEG_APP0 + 1, length);
        for (const char c : std::string_view("Exif\0\0", 6))
            jpeg_write_m_byte(&info, static_cast<unsigned char>(c));
        for (const char c : exif)
            jpeg_write_m_byte(&info, static_cast<unsigned char>(c));
    }
    if (!icc.empty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(icc.data()),
                               static_cast<unsigned int>(icc.size()));
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.row(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

std::optional<std::string> encode(const Image& image, int quality, const std::string& exif,
                                  const std::string& icc) {
    if (image.width() < 1 || image.height() < 1 || image.width() > JPEG_MAX_DIMENSION ||
        image.height() > JPEG_MAX_DIMENSION)
        return std::nullopt;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool encoded = compress(image, quality, exif, icc, &buffer, &size);
    std::string bytes;
    if (encoded && buffer) bytes.assign(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

} // namespace sorvin::JpegEncoder
