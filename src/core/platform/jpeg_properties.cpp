// JPEG image properties: libjpeg reads the header, then the rest of the stream is walked marker by
// marker so a cut-off or damaged file is refused without decoding a pixel.
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/regular_file.hpp"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

namespace sorvin::ImagePropertiesReader {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void exitOnError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

void silence(j_common_ptr, int) {}

bool isSegmentBetweenScans(std::uint8_t marker) {
    return marker == 0xC4 /* DHT */ || marker == 0xCC /* DAC */ || marker == 0xDA /* SOS */ ||
           marker == 0xDB /* DQT */ || marker == 0xDC /* DNL */ || marker == 0xDD /* DRI */ ||
           marker == 0xFE /* COM */ || (marker >= 0xE0 && marker <= 0xEF) /* APPn */;
}

// Walks the entropy-coded data that follows the first scan header up to the end-of-image marker.
// Restart markers must come in their cyclic order when a restart interval is set; only the
// segments that may sit between scans are allowed; running out of bytes means a truncated file.
bool streamIsComplete(const std::uint8_t* p, const std::uint8_t* end, unsigned restartInterval) {
    unsigned nextRestart = 0;
    for (;;) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p)));
        if (p == nullptr || end - p < 2) return false;
        const std::uint8_t marker = p[1];
        if (marker == 0x00) {
            p += 2;
        } else if (marker == 0xFF) {
            p += 1;
        } else if (marker >= 0xD0 && marker <= 0xD7) {
            if (restartInterval > 0 && marker != 0xD0 + nextRestart) return false;
            nextRestart = (nextRestart + 1) & 7;
            p += 2;
        } else if (marker == 0xD9) {
            return true;
        } else {
            if (!isSegmentBetweenScans(marker) || end - p < 4) return false;
            const std::size_t length = (std::size_t{p[2]} << 8) | p[3];
            if (length < 2 || static_cast<std::size_t>(end - p) < 2 + length) return false;
            if (marker == 0xDD) {
                if (length < 4) return false;
                restartInterval = (unsigned{p[4]} << 8) | p[5];
            }
            if (marker == 0xDA) nextRestart = 0;
            p += 2 + length;
        }
    }
}

// The header pass runs in a frame of its own so that longjmp leaves no C++ object behind.
bool readHeader(jpeg_decompress_struct& cinfo, ErrorManager& errors, const std::vector<std::uint8_t>& bytes) {
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = exitOnError;
    errors.base.emit_message = silence;
    if (setjmp(errors.jump) != 0) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    return jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
}

} // namespace

std::optional<ImageProperties> readJpeg(const std::filesystem::path& path) {
    auto file = RegularFile::open(path, maxFileBytes);
    if (!file || file->size() < 4) return std::nullopt;
    // One buffer per worker thread: a scan reads thousands of files of similar size. An unusually
    // large file gets a buffer of its own, so no huge buffer stays alive after it.
    thread_local std::vector<std::uint8_t> reused;
    std::vector<std::uint8_t> own;
    std::vector<std::uint8_t>& bytes = file->size() > (std::uint64_t{64} << 20) ? own : reused;
    if (!file->readAll(bytes)) return std::nullopt;

    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    std::optional<ImageProperties> result;
    if (readHeader(cinfo, errors, bytes)) {
        const auto width = static_cast<std::int64_t>(cinfo.image_width);
        const auto height = static_cast<std::int64_t>(cinfo.image_height);
        const std::uint8_t* scanData = cinfo.src->next_input_byte;
        const std::uint8_t* end = bytes.data() + bytes.size();
        if (width >= 1 && height >= 1 && width * height <= maxPixelCount &&
            streamIsComplete(scanData, end, cinfo.restart_interval)) {
            ImageProperties properties;
            properties.pixelWidth = static_cast<int>(width);
            properties.pixelHeight = static_cast<int>(height);
            if (const auto exif = ExifBlock::jpegSegmentPayload(cinfo.marker_list); !exif.empty()) {
                ExifBasics basics = ExifBlock::parse(exif.data(), exif.size());
                properties.orientation = basics.orientation;
                properties.dateTimeOriginal = std::move(basics.dateTimeOriginal);
            }
            result = std::move(properties);
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return result;
}

} // namespace sorvin::ImagePropertiesReader
