// JPEG image properties: libjpeg reads the header straight from the file (large segments that are
// not EXIF are skipped, not read); the markers of the scan data that come with the last header
// read are checked, and the file must end with the end-of-image marker. A file that does not (a
// trailer after the image, or a file cut short) has its whole stream walked up to that marker.
#include "platform/byte_source.hpp"
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/regular_file.hpp"
#include "platform/tiff_structure.hpp"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <vector>

namespace sorvin::ImagePropertiesReader {

namespace {

constexpr std::size_t chunkBytes = 64 * 1024;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void exitOnError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

void silence(j_common_ptr, int) {}

// Feeds libjpeg from the file in chunks. Running out of data is remembered: the header of a file
// cut short is not a header.
struct FileSource {
    jpeg_source_mgr base;
    const RegularFile* file;
    std::vector<std::uint8_t>* buffer;
    std::uint64_t position; // file offset just past the buffered bytes
    bool ranOut;

    static FileSource& of(j_decompress_ptr cinfo) { return *reinterpret_cast<FileSource*>(cinfo->src); }

    static void init(j_decompress_ptr) {}
    static void term(j_decompress_ptr) {}

    static boolean fill(j_decompress_ptr cinfo) {
        FileSource& source = of(cinfo);
        static const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};
        const std::uint64_t left =
            source.position < source.file->size() ? source.file->size() - source.position : 0;
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunkBytes));
        if (count == 0 || !source.file->readAt(source.position, source.buffer->data(), count)) {
            source.ranOut = true;
            source.base.next_input_byte = endOfImage;
            source.base.bytes_in_buffer = 2;
            return TRUE;
        }
        source.position += count;
        source.base.next_input_byte = source.buffer->data();
        source.base.bytes_in_buffer = count;
        return TRUE;
    }

    static void skip(j_decompress_ptr cinfo, long count) {
        if (count <= 0) return;
        FileSource& source = of(cinfo);
        const auto wanted = static_cast<std::size_t>(count);
        if (wanted <= source.base.bytes_in_buffer) {
            source.base.next_input_byte += wanted;
            source.base.bytes_in_buffer -= wanted;
            return;
        }
        // Skip on the file itself, without reading what lies between.
        source.position += wanted - source.base.bytes_in_buffer;
        source.base.bytes_in_buffer = 0;
    }
};

bool isSegmentBetweenScans(std::uint8_t marker) {
    return marker == 0xC4 /* DHT */ || marker == 0xCC /* DAC */ || marker == 0xDA /* SOS */ ||
           marker == 0xDB /* DQT */ || marker == 0xDC /* DNL */ || marker == 0xDD /* DRI */ ||
           marker == 0xFE /* COM */ || (marker >= 0xE0 && marker <= 0xEF) /* APPn */;
}

enum class Stream { complete, damaged, incomplete };

// Walks entropy-coded data from just after the first scan header. Restart markers must come in
// their cyclic order when a restart interval is set; only the segments that may sit between scans
// are allowed; the end-of-image marker completes the stream. Running out of bytes is incomplete.
Stream walkStream(const std::uint8_t* p, const std::uint8_t* end, unsigned restartInterval) {
    unsigned nextRestart = 0;
    for (;;) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p)));
        if (p == nullptr || end - p < 2) return Stream::incomplete;
        const std::uint8_t marker = p[1];
        if (marker == 0x00) {
            p += 2;
        } else if (marker == 0xFF) {
            p += 1;
        } else if (marker >= 0xD0 && marker <= 0xD7) {
            if (restartInterval > 0 && marker != 0xD0 + nextRestart) return Stream::damaged;
            nextRestart = (nextRestart + 1) & 7;
            p += 2;
        } else if (marker == 0xD9) {
            return Stream::complete;
        } else {
            if (!isSegmentBetweenScans(marker)) return Stream::damaged;
            if (end - p < 4) return Stream::incomplete;
            const std::size_t length = (std::size_t{p[2]} << 8) | p[3];
            if (length < 2) return Stream::damaged;
            if (static_cast<std::size_t>(end - p) < 2 + length) return Stream::incomplete;
            if (marker == 0xDD) {
                if (length < 4) return Stream::damaged;
                restartInterval = (unsigned{p[4]} << 8) | p[5];
            }
            if (marker == 0xDA) nextRestart = 0;
            p += 2 + length;
        }
    }
}

// The scan data from `start` to the end of the file, walked whole.
bool wholeStreamIsComplete(const RegularFile& file, std::uint64_t start, unsigned restartInterval) {
    if (start >= file.size()) return false;
    std::vector<std::uint8_t> rest(static_cast<std::size_t>(file.size() - start));
    if (!file.readAt(start, rest.data(), rest.size())) return false;
    return walkStream(rest.data(), rest.data() + rest.size(), restartInterval) == Stream::complete;
}

// The header pass runs in a frame of its own so that longjmp leaves no C++ object behind.
bool readHeader(jpeg_decompress_struct& cinfo, ErrorManager& errors, FileSource& source) {
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = exitOnError;
    errors.base.emit_message = silence;
    if (setjmp(errors.jump) != 0) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    source.base.init_source = FileSource::init;
    source.base.fill_input_buffer = FileSource::fill;
    source.base.skip_input_data = FileSource::skip;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = FileSource::term;
    cinfo.src = &source.base;
    return jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && !source.ranOut;
}

bool endsWithEndOfImage(const RegularFile& file) {
    std::uint8_t last[2];
    return file.readAt(file.size() - 2, last, 2) && last[0] == 0xFF && last[1] == 0xD9;
}

} // namespace

std::optional<ImageProperties> readJpeg(const std::filesystem::path& path) {
    auto file = RegularFile::open(path, maxFileBytes);
    if (!file || file->size() < 4) return std::nullopt;
    thread_local std::vector<std::uint8_t> buffer(chunkBytes);

    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    FileSource source{};
    source.file = &*file;
    source.buffer = &buffer;
    std::optional<ImageProperties> result;
    if (readHeader(cinfo, errors, source)) {
        const auto width = static_cast<std::int64_t>(cinfo.image_width);
        const auto height = static_cast<std::int64_t>(cinfo.image_height);
        const std::uint8_t* scan = source.base.next_input_byte;
        const std::uint64_t scanOffset = source.position - source.base.bytes_in_buffer;
        const Stream start = walkStream(scan, scan + source.base.bytes_in_buffer, cinfo.restart_interval);
        const bool complete =
            start == Stream::complete ||
            (start == Stream::incomplete &&
             (endsWithEndOfImage(*file) || wholeStreamIsComplete(*file, scanOffset, cinfo.restart_interval)));
        if (width >= 1 && height >= 1 && width * height <= maxPixelCount && complete) {
            ImageProperties properties;
            properties.pixelWidth = static_cast<int>(width);
            properties.pixelHeight = static_cast<int>(height);
            // The two values a scan needs come from a small reader of our own: exiv2 would decode
            // every tag and maker note of every file.
            if (const auto exif = ExifBlock::jpegSegmentPayload(cinfo.marker_list); !exif.empty()) {
                ExifBasics basics = TiffStructure::exifBasics(MemoryBytes(exif.data(), exif.size()));
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
