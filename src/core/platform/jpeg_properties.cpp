// JPEG image properties. The header (every segment up to the first scan) is walked segment by
// segment, reading only what each segment's length needs: the segments that describe the picture
// (tables, frame, scan header) are gathered, the application and comment segments passed over but
// for the first EXIF segment, and libjpeg then reads the gathered segments from memory. A header of
// more segments or bytes than the caps below is not read, so neither the number nor the size of the
// segments costs memory or time. The scan data are not looked at: a file whose header is intact is
// a photo even when its picture data are damaged or cut short, the decoder showing what it can
// recover.
#include "platform/byte_source.hpp"
#include "platform/image_properties.hpp"
#include "platform/jpeg_error_jump.hpp"
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
// Real headers hold a few dozen segments (a large ICC profile or extended XMP some more), and the
// segments that describe the picture a few kilobytes.
constexpr std::size_t maxHeaderSegments = 1024;
constexpr std::uint64_t maxHeaderBytes = std::uint64_t{64} << 20;
constexpr std::size_t maxPictureSegmentBytes = 1 << 20;
constexpr std::uint8_t startOfScan = 0xDA;

// Bytes of a file through one buffer: the first chunk whole (it holds the header of nearly every
// file), later ones no larger than asked for, since they are wanted for a segment's few bytes.
class Window {
public:
    Window(const RegularFile& file, std::vector<std::uint8_t>& buffer) : file_(file), buffer_(buffer) {}

    // The count bytes at offset, or nullptr when the file does not hold them.
    const std::uint8_t* at(std::uint64_t offset, std::size_t count) {
        if (offset >= start_ && offset - start_ <= size_ && count <= size_ - (offset - start_))
            return buffer_.data() + (offset - start_);
        if (offset > file_.size() || count > file_.size() - offset) return nullptr;
        const std::size_t wanted = std::max<std::size_t>(count, start_ == 0 && size_ == 0 ? chunkBytes : 16);
        size_ = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, file_.size() - offset));
        start_ = offset;
        if (buffer_.size() < size_) buffer_.resize(size_);
        if (!file_.readAt(offset, buffer_.data(), size_)) {
            size_ = 0;
            return nullptr;
        }
        return buffer_.data();
    }

private:
    const RegularFile& file_;
    std::vector<std::uint8_t>& buffer_;
    std::uint64_t start_ = 0;
    std::size_t size_ = 0;
};

bool isApplicationOrComment(std::uint8_t code) {
    return (code >= JPEG_APP0 && code <= JPEG_APP0 + 15) || code == JPEG_COM;
}

// Walks the header from the start-of-image marker to the end of the first scan header. `picture`
// receives the start marker and the segments libjpeg needs, `exif` the TIFF block of the first EXIF
// segment. False when the header is cut short, malformed or beyond the caps.
bool walkHeader(Window& window, std::vector<std::uint8_t>& picture, std::vector<std::uint8_t>& exif) {
    static constexpr std::uint8_t exifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
    picture.assign({0xFF, 0xD8});
    exif.clear();
    std::uint64_t at = 2;
    for (std::size_t segments = 0; segments < maxHeaderSegments && at <= maxHeaderBytes; ++segments) {
        const std::uint8_t* marker = window.at(at, 2);
        if (marker == nullptr || marker[0] != 0xFF) return false;
        const std::uint8_t code = marker[1];
        if (code == 0xFF) { // a fill byte
            at += 1;
            continue;
        }
        if ((code >= 0xD0 && code <= 0xD7) || code == 0x01) { // markers without a length, ignored
            at += 2;
            continue;
        }
        if (code == 0xD8 || code == JPEG_EOI) return false; // a second start, or no picture
        const std::uint8_t* lengthBytes = window.at(at + 2, 2);
        if (lengthBytes == nullptr) return false;
        const std::size_t length = (std::size_t{lengthBytes[0]} << 8) | lengthBytes[1];
        if (length < 2) return false;
        if (isApplicationOrComment(code)) {
            if (code == JPEG_APP0 + 1 && exif.empty() && length > 2 + sizeof exifSignature) {
                // The signature first: other APP1 segments (XMP) are not read.
                const std::uint8_t* signature = window.at(at + 4, sizeof exifSignature);
                const std::uint8_t* segment =
                    signature && std::memcmp(signature, exifSignature, sizeof exifSignature) == 0
                        ? window.at(at + 4, length - 2)
                        : nullptr;
                if (segment) exif.assign(segment + sizeof exifSignature, segment + length - 2);
            }
        } else {
            const std::uint8_t* segment = window.at(at, 2 + length);
            if (segment == nullptr || picture.size() + 2 + length > maxPictureSegmentBytes) return false;
            picture.insert(picture.end(), segment, segment + 2 + length);
            if (code == startOfScan) return true;
        }
        at += 2 + length;
    }
    return false;
}

// The header pass runs in a frame of its own so that longjmp leaves no C++ object behind.
bool readHeader(jpeg_decompress_struct& cinfo, JpegErrorJump& errors,
                const std::vector<std::uint8_t>& header) {
    cinfo.err = errors.install();
    if (setjmp(errors.jump) != 0) return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, header.data(), static_cast<unsigned long>(header.size()));
    return jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK;
}

} // namespace

std::optional<ImageProperties> readJpeg(const RegularFile& file) {
    thread_local std::vector<std::uint8_t> buffer(chunkBytes);
    thread_local std::vector<std::uint8_t> picture;
    thread_local std::vector<std::uint8_t> exif;
    Window window(file, buffer);
    if (!walkHeader(window, picture, exif)) return std::nullopt;

    jpeg_decompress_struct cinfo{};
    JpegErrorJump errors{};
    std::optional<ImageProperties> result;
    if (readHeader(cinfo, errors, picture)) {
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
