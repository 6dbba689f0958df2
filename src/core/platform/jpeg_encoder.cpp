#include "platform/jpeg_encoder.hpp"

#include "platform/jpeg_error_jump.hpp"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <jpeglib.h>

namespace sorvin::JpegEncoder {

namespace {

// The largest payload of one marker segment (its length field counts itself).
constexpr std::size_t kMaximumSegmentBytes = 65533;
constexpr std::string_view kExifHeader("Exif\0\0", 6);
constexpr std::string_view kXmpHeader("http://ns.adobe.com/xap/1.0/\0", 29);
// A Photoshop image resource block holding the IPTC datasets: resource 0x0404, no name.
constexpr std::string_view kIptcHeader("Photoshop 3.0\08BIM\x04\x04\0\0", 22);

// Everything that touches libjpeg lives here, with no C++ object whose destructor a longjmp
// would skip.
// Writes one marker segment when the payload fits it; leaves the segment out otherwise.
void writeSegment(j_compress_ptr info, int marker, std::initializer_list<std::string_view> parts) {
    std::size_t length = 0;
    for (const auto part : parts)
        length += part.size();
    if (length > kMaximumSegmentBytes) return;
    jpeg_write_m_header(info, marker, static_cast<unsigned int>(length));
    for (const auto part : parts)
        for (const char c : part)
            jpeg_write_m_byte(info, static_cast<unsigned char>(c));
}

// The big-endian size of the IPTC resource, and the pad byte that keeps resources even.
std::string iptcResourceSize(std::size_t size) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * (3 - i))) & 0xFF);
    return bytes;
}

bool compress(const Image& image, int quality, const std::string& exif, const std::string& icc,
              const std::string& xmp, const std::string& iptc, unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info{};
    JpegErrorJump errors{};
    info.err = errors.install();
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
    if (!exif.empty()) writeSegment(&info, JPEG_APP0 + 1, {kExifHeader, exif});
    if (!xmp.empty()) writeSegment(&info, JPEG_APP0 + 1, {kXmpHeader, xmp});
    if (!iptc.empty())
        writeSegment(&info, JPEG_APP0 + 13,
                     {kIptcHeader, iptcResourceSize(iptc.size()), iptc, iptc.size() % 2 ? std::string_view("\0", 1) : ""});
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
                                  const std::string& icc, const std::string& xmp, const std::string& iptc) {
    if (image.width() < 1 || image.height() < 1 || image.width() > JPEG_MAX_DIMENSION ||
        image.height() > JPEG_MAX_DIMENSION)
        return std::nullopt;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool encoded = compress(image, quality, exif, icc, xmp, iptc, &buffer, &size);
    std::string bytes;
    if (encoded && buffer) bytes.assign(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    if (bytes.empty()) return std::nullopt;
    return bytes;
}

} // namespace sorvin::JpegEncoder
