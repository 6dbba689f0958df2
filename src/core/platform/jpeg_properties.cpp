// JPEG image properties: libjpeg reads the header straight from the file, up to the first scan.
// Large segments are skipped, not read; only the first EXIF segment is kept, and no more than
// maxHeaderBytes of the file are looked at, so neither the number nor the size of the segments
// costs memory or time. The scan data are not looked at: a file whose header is intact is a photo
// even when its picture data are damaged or cut short, the decoder showing what it can recover.
#include "platform/byte_source.hpp"
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
// A header (every segment before the first scan) that runs past this is not read.
constexpr std::uint64_t maxHeaderBytes = std::uint64_t{16} << 20;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void exitOnError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

void silence(j_common_ptr, int) {}

// Feeds libjpeg from the file in chunks. Running out of data, or running past the header's cap, is
// remembered: the header of a file cut short is not a header.
struct FileSource {
    jpeg_source_mgr base;
    const RegularFile* file;
    std::vector<std::uint8_t>* buffer;
    std::vector<std::uint8_t>* exif; // the TIFF block of the first EXIF segment
    std::uint64_t position;          // file offset just past the buffered bytes
    bool ranOut;

    static FileSource& of(j_decompress_ptr cinfo) { return *reinterpret_cast<FileSource*>(cinfo->src); }

    static void init(j_decompress_ptr) {}
    static void term(j_decompress_ptr) {}

    static boolean fill(j_decompress_ptr cinfo) {
        FileSource& source = of(cinfo);
        static const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};
        const std::uint64_t end = std::min(source.file->size(), maxHeaderBytes);
        const std::uint64_t left = source.position < end ? end - source.position : 0;
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

    // Copies the next count bytes out of the stream (fill never suspends).
    static void take(j_decompress_ptr cinfo, std::uint8_t* into, std::size_t count) {
        FileSource& source = of(cinfo);
        while (count > 0) {
            if (source.base.bytes_in_buffer == 0) fill(cinfo);
            const std::size_t part = std::min(count, source.base.bytes_in_buffer);
            std::memcpy(into, source.base.next_input_byte, part);
            source.base.next_input_byte += part;
            source.base.bytes_in_buffer -= part;
            into += part;
            count -= part;
        }
    }

    // APP1: the first EXIF segment is kept, every other APP1 segment (XMP, more EXIF) skipped.
    static boolean readApp1(j_decompress_ptr cinfo) {
        static constexpr std::uint8_t signature[6] = {'E', 'x', 'i', 'f', 0, 0};
        FileSource& source = of(cinfo);
        std::uint8_t lengthBytes[2];
        take(cinfo, lengthBytes, 2);
        const std::size_t length = (std::size_t{lengthBytes[0]} << 8) | lengthBytes[1];
        std::size_t left = length > 2 ? length - 2 : 0;
        if (source.exif->empty() && left > sizeof signature) {
            std::uint8_t start[sizeof signature];
            take(cinfo, start, sizeof start);
            left -= sizeof start;
            if (std::memcmp(start, signature, sizeof signature) == 0) {
                source.exif->resize(left);
                take(cinfo, source.exif->data(), left);
                left = 0;
            }
        }
        skip(cinfo, static_cast<long>(left));
        return TRUE;
    }
};

// The header pass runs in a frame of its own so that longjmp leaves no C++ object behind.
bool readHeader(jpeg_decompress_struct& cinfo, ErrorManager& errors, FileSource& source) {
    cinfo.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = exitOnError;
    errors.base.emit_message = silence;
    if (setjmp(errors.jump) != 0) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_set_marker_processor(&cinfo, JPEG_APP0 + 1, FileSource::readApp1);
    source.base.init_source = FileSource::init;
    source.base.fill_input_buffer = FileSource::fill;
    source.base.skip_input_data = FileSource::skip;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = FileSource::term;
    cinfo.src = &source.base;
    return jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && !source.ranOut;
}

} // namespace

std::optional<ImageProperties> readJpeg(const RegularFile& file) {
    if (file.size() < 4) return std::nullopt;
    thread_local std::vector<std::uint8_t> buffer(chunkBytes);
    thread_local std::vector<std::uint8_t> exif;
    exif.clear();

    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    FileSource source{};
    source.file = &file;
    source.buffer = &buffer;
    source.exif = &exif;
    std::optional<ImageProperties> result;
    if (readHeader(cinfo, errors, source)) {
        const auto width = static_cast<std::int64_t>(cinfo.image_width);
        const auto height = static_cast<std::int64_t>(cinfo.image_height);
        if (width >= 1 && height >= 1 && width * height <= maxPixelCount) {
            ImageProperties properties;
            properties.pixelWidth = static_cast<int>(width);
            properties.pixelHeight = static_cast<int>(height);
            // The two values a scan needs come from a small reader of our own: exiv2 would decode
            // every tag and maker note of every file.
            if (!exif.empty()) {
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
