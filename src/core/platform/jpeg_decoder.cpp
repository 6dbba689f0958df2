#include "platform/jpeg_decoder.hpp"

#include "platform/color_profile.hpp"
#include "platform/draw_or_none.hpp"
#include "platform/exif_block.hpp"
#include "platform/jpeg_error_jump.hpp"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace sorvin {

namespace {

// Each step below is a plain function that calls only C and creates no object with a destructor
// between its setjmp and its end, so libjpeg's error jump skips nothing.
struct ProgressMonitor {
    jpeg_progress_mgr base;
    const std::function<bool()>* stop;
};

// Called by libjpeg as it goes (every row, every scan): ends a decode with too many scans, or
// one its caller gave up on.
void watchProgress(j_common_ptr common) {
    auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
    if (cinfo->is_decompressor && cinfo->progressive_mode &&
        cinfo->input_scan_number > JpegDecoder::kMaxScans)
        JpegErrorJump::jumpBack(common);
    const auto* monitor = reinterpret_cast<const ProgressMonitor*>(common->progress);
    if (*monitor->stop && (*monitor->stop)()) JpegErrorJump::jumpBack(common);
}

struct Session {
    jpeg_decompress_struct cinfo{};
    JpegErrorJump errors{};
    ProgressMonitor progress{};
    DamagedData damaged = DamagedData::filledIn;
    bool created = false;
    JOCTET* icc = nullptr;
    unsigned int iccSize = 0;
};

// libjpeg's warnings (level -1; the other levels are its trace) stop a decode that refuses damage.
void noticeWarning(j_common_ptr common, int level) {
    const auto* s = static_cast<const Session*>(common->client_data);
    if (level < 0 && s->damaged == DamagedData::refused && JpegErrorJump::isDamage(common))
        JpegErrorJump::jumpBack(common);
}

// Reads the header, picks the scale and output colours, and takes the ICC profile.
bool readHeader(Session& s, const std::uint8_t* bytes, std::size_t size, int minimumLongEdge) {
    s.cinfo.err = s.errors.install();
    s.errors.base.emit_message = noticeWarning;
    s.cinfo.client_data = &s;
    if (setjmp(s.errors.jump) != 0) return false;
    jpeg_create_decompress(&s.cinfo);
    s.created = true;
    s.cinfo.mem->max_memory_to_use = JpegDecoder::kMaxWorkingMemory;
    s.progress.base.progress_monitor = watchProgress;
    s.cinfo.progress = &s.progress.base;
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_save_markers(&s.cinfo, JPEG_APP0 + 14, 0xFFFF);
    jpeg_mem_src(&s.cinfo, bytes, static_cast<unsigned long>(size));
    if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK) return false;

    const long long width = s.cinfo.image_width;
    const long long height = s.cinfo.image_height;
    if (width < 1 || height < 1 || width * height > JpegDecoder::kMaxPixels) return false;

    // The smallest of the scales libjpeg-turbo decodes fast (1/8, 1/4, 1/2, 1) that keeps the long
    // edge at the size asked for; the other eighths take a slow path that costs more than it saves.
    const long long longEdge = width > height ? width : height;
    unsigned int numerator = 8;
    if (minimumLongEdge > 0 && minimumLongEdge < longEdge) {
        for (unsigned int n = 1; n < 8; n *= 2) {
            if ((longEdge * n + 7) / 8 >= minimumLongEdge) {
                numerator = n;
                break;
            }
        }
    }
    s.cinfo.scale_num = numerator;
    s.cinfo.scale_denom = 8;
    s.cinfo.dct_method = JDCT_ISLOW;
    s.cinfo.do_fancy_upsampling = TRUE;
    switch (s.cinfo.jpeg_color_space) {
    case JCS_CMYK:
    case JCS_YCCK:
        s.cinfo.out_color_space = JCS_CMYK;
        break;
    case JCS_GRAYSCALE:
    case JCS_RGB:
    case JCS_YCbCr:
        s.cinfo.out_color_space = JCS_EXT_RGBA;
        break;
    default:
        return false;
    }
    if (!jpeg_read_icc_profile(&s.cinfo, &s.icc, &s.iccSize)) {
        s.icc = nullptr;
        s.iccSize = 0;
    }
    jpeg_calc_output_dimensions(&s.cinfo);
    return true;
}

// Decodes every row into the buffer; CMYK rows go through the scratch row and the conversion.
bool readPixels(Session& s, std::uint8_t* pixels, std::size_t bytesPerRow, std::uint8_t* scratch,
                const ColorProfile* conversion) {
    if (setjmp(s.errors.jump) != 0) return false;
    jpeg_start_decompress(&s.cinfo);
    const bool viaScratch = s.cinfo.out_color_space == JCS_CMYK;
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        std::uint8_t* row = pixels + bytesPerRow * s.cinfo.output_scanline;
        JSAMPROW target = viaScratch ? scratch : row;
        if (jpeg_read_scanlines(&s.cinfo, &target, 1) != 1) return false;
        if (viaScratch)
            conversion->convert(scratch, row, s.cinfo.output_width);
        else if (conversion)
            conversion->convert(row, row, s.cinfo.output_width);
    }
    // A stream cut short has been padded by libjpeg with a warning; what was decoded is kept
    // unless damage is refused.
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

std::optional<long> exifOrientation(const jpeg_decompress_struct& cinfo) {
    const auto exif = ExifBlock::jpegSegmentPayload(cinfo.marker_list);
    if (exif.empty()) return std::nullopt;
    return ExifBlock::parse(exif.data(), exif.size()).orientation;
}

void release(Session& s) {
    if (s.created) jpeg_destroy_decompress(&s.cinfo);
    std::free(s.icc);
}

} // namespace

bool JpegDecoder::looksLikeJpeg(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

std::optional<JpegDecoder::Picture> JpegDecoder::decode(std::span<const std::uint8_t> bytes,
                                                        int minimumLongEdge,
                                                        const std::function<bool()>& stop,
                                                        DamagedData damaged) {
    if (!looksLikeJpeg(bytes)) return std::nullopt;
    auto session = std::make_unique<Session>();
    Session& s = *session;
    s.progress.stop = &stop;
    s.damaged = damaged;
    std::optional<Picture> result;
    if (readHeader(s, bytes.data(), bytes.size(), minimumLongEdge)) {
        const bool isCmyk = s.cinfo.out_color_space == JCS_CMYK;
        const bool adobeInverted = isCmyk && s.cinfo.saw_Adobe_marker;
        const std::span<const std::uint8_t> icc(s.icc, s.iccSize);
        const auto conversion = ColorProfile::toSrgb(
            icc, isCmyk ? (adobeInverted ? ColorInput::invertedCmyk : ColorInput::cmyk) : ColorInput::rgba);
        // Saved markers live only until the decode finishes.
        const std::optional<long> orientation = exifOrientation(s.cinfo);
        const int width = static_cast<int>(s.cinfo.output_width);
        const int height = static_cast<int>(s.cinfo.output_height);
        std::vector<std::uint8_t> scratch;
        SharedImage image = drawOrNone([&]() -> SharedImage {
            if (isCmyk) scratch.resize(static_cast<std::size_t>(width) * 4);
            PixelBuffer buffer = PixelBuffer::forOverwrite(width, height);
            if (!readPixels(s, buffer.data(), buffer.bytesPerRow(), scratch.data(), conversion.get()))
                return nullptr;
            return makeImage(std::move(buffer));
        });
        if (image)
            result = Picture{std::move(image), static_cast<int>(s.cinfo.image_width),
                             static_cast<int>(s.cinfo.image_height), orientation};
    }
    release(s);
    return result;
}

} // namespace sorvin
