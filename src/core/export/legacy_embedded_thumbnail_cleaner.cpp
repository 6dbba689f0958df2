#include "export/legacy_embedded_thumbnail_cleaner.hpp"

#include "platform/byte_source.hpp"
#include "platform/regular_file.hpp"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <unistd.h>
#include <vector>

namespace sorvin {

namespace {

using Bytes = std::span<const std::uint8_t>;

enum class ByteOrder { little, big };

enum class Decision { next, found, fail };

// Reads a file (or bytes in memory) where the parse asks, through a window of a fixed size: a copied
// photo may be gigabytes, and the parse needs only its headers, its EXIF block and the thumbnail.
template <typename Source>
class Reader {
public:
    explicit Reader(const Source& source) : source_(source) {}

    std::uint64_t size() const { return source_.size(); }

    // `count` bytes at `position`, when they all lie in the source.
    bool read(std::uint64_t position, void* into, std::size_t count) {
        if (position > size() || count > size() - position) return false;
        if (count > kWindowBytes) return source_.readAt(position, into, count);
        if (position < windowStart_ || position + count > windowStart_ + window_.size()) {
            window_.resize(
                static_cast<std::size_t>(std::min<std::uint64_t>(kWindowBytes, size() - position)));
            windowStart_ = position;
            if (!source_.readAt(position, window_.data(), window_.size())) {
                window_.clear();
                return false;
            }
        }
        std::memcpy(into, window_.data() + (position - windowStart_), count);
        return true;
    }

    std::optional<std::uint8_t> byte(std::uint64_t position) {
        std::uint8_t value = 0;
        if (!read(position, &value, 1)) return std::nullopt;
        return value;
    }

private:
    static constexpr std::size_t kWindowBytes = 64 << 10;
    const Source& source_;
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
};

// position + offset, when it lies within the source.
std::optional<std::uint64_t> advanced(std::uint64_t size, std::uint64_t position, std::uint64_t offset) {
    if (position > size || offset > size - position) return std::nullopt;
    return position + offset;
}

// Walks the markers of the JPEG stream in [start, end); `segment` sees each segment with a length
// (marker, position of the length field, length) and decides.
template <typename Source>
bool walkMarkers(Reader<Source>& reader, std::uint64_t start, std::uint64_t end,
                 const std::function<Decision(std::uint8_t, std::uint64_t, std::uint64_t)>& segment) {
    std::uint8_t soi[2];
    if (end - start < 2 || !reader.read(start, soi, 2) || soi[0] != 0xFF || soi[1] != 0xD8) return false;
    std::uint64_t p = start + 2;
    for (;;) {
        if (p >= end || reader.byte(p) != 0xFF) return false;
        while (p < end && reader.byte(p) == 0xFF)
            ++p;
        if (p >= end) return false;
        const auto marker = reader.byte(p++);
        if (!marker) return false;
        if (*marker == 0x01 || (*marker >= 0xD0 && *marker <= 0xD7)) continue;
        if (*marker == 0xD9 || *marker == 0xDA || *marker == 0x00) return false;
        std::uint8_t field[2];
        if (end - p < 2 || !reader.read(p, field, 2)) return false;
        const std::uint64_t length = (std::uint64_t{field[0]} << 8) | field[1];
        if (length < 2 || length > end - p) return false;
        switch (segment(*marker, p, length)) {
        case Decision::found:
            return true;
        case Decision::fail:
            return false;
        case Decision::next:
            break;
        }
        p += length;
    }
}

template <typename Source>
bool matchesExifIdentifier(Reader<Source>& reader, std::uint64_t position) {
    static constexpr std::uint8_t kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
    std::uint8_t found[6];
    return reader.read(position, found, 6) && std::memcmp(found, kIdentifier, 6) == 0;
}

template <typename Source>
std::optional<std::uint64_t> tiffBase(Reader<Source>& reader) {
    std::optional<std::uint64_t> base;
    walkMarkers(reader, 0, reader.size(), [&](std::uint8_t marker, std::uint64_t p, std::uint64_t length) {
        if (marker == 0xE1 && length >= 8 && matchesExifIdentifier(reader, p + 2)) {
            base = p + 2 + 6;
            return Decision::found;
        }
        return Decision::next;
    });
    return base;
}

template <typename Source>
std::optional<ByteOrder> byteOrder(Reader<Source>& reader, std::uint64_t base) {
    std::uint8_t mark[2];
    if (!reader.read(base, mark, 2)) return std::nullopt;
    if (mark[0] == 'I' && mark[1] == 'I') return ByteOrder::little;
    if (mark[0] == 'M' && mark[1] == 'M') return ByteOrder::big;
    return std::nullopt;
}

template <typename Source>
std::optional<std::uint32_t> readUInt(Reader<Source>& reader, std::optional<std::uint64_t> position,
                                      ByteOrder order, std::size_t width) {
    std::uint8_t bytes[4];
    if (!position || !reader.read(*position, bytes, width)) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value = (value << 8) | bytes[order == ByteOrder::big ? i : width - 1 - i];
    return value;
}

// The frame size of the JPEG stream in [start, end): its first start-of-frame marker.
template <typename Source>
std::optional<LegacyEmbeddedThumbnailCleaner::Size> jpegSizeIn(Reader<Source>& reader, std::uint64_t start,
                                                               std::uint64_t end) {
    std::optional<LegacyEmbeddedThumbnailCleaner::Size> size;
    walkMarkers(reader, start, end, [&](std::uint8_t marker, std::uint64_t p, std::uint64_t length) {
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!isFrame) return Decision::next;
        // p is the length field: precision at p + 2, height at p + 3, width at p + 5.
        std::uint8_t header[7];
        if (length < 8 || !reader.read(p, header, sizeof header)) return Decision::fail;
        const int height = (header[3] << 8) | header[4];
        const int width = (header[5] << 8) | header[6];
        if (height == 0 || width == 0) return Decision::fail;
        size = LegacyEmbeddedThumbnailCleaner::Size{width, height};
        return Decision::found;
    });
    return size;
}

template <typename Source>
std::optional<LegacyEmbeddedThumbnailCleaner::ThumbnailReference> referenceIn(Reader<Source>& reader) {
    const std::uint64_t size = reader.size();
    const auto base = tiffBase(reader);
    if (!base) return std::nullopt;
    const auto order = byteOrder(reader, *base);
    if (!order) return std::nullopt;
    const auto ifd0Offset = readUInt(reader, advanced(size, *base, 4), *order, 4);
    if (!ifd0Offset) return std::nullopt;
    const auto ifd0 = advanced(size, *base, *ifd0Offset);
    if (!ifd0) return std::nullopt;
    const auto ifd0Count = readUInt(reader, ifd0, *order, 2);
    if (!ifd0Count) return std::nullopt;
    const auto linkPosition = advanced(size, *ifd0, 2 + 12 * std::uint64_t{*ifd0Count});
    const auto ifd1Offset = readUInt(reader, linkPosition, *order, 4);
    if (!ifd1Offset || *ifd1Offset == 0) return std::nullopt;
    const auto ifd1 = advanced(size, *base, *ifd1Offset);
    if (!ifd1) return std::nullopt;
    const auto ifd1Count = readUInt(reader, ifd1, *order, 2);
    if (!ifd1Count) return std::nullopt;
    const auto entriesStart = advanced(size, *ifd1, 2);
    if (!entriesStart || !advanced(size, *entriesStart, 12 * std::uint64_t{*ifd1Count})) return std::nullopt;
    std::optional<std::uint32_t> offset;
    std::optional<std::uint32_t> length;
    for (std::uint32_t i = 0; i < *ifd1Count; ++i) {
        const std::uint64_t entry = *entriesStart + 12 * std::uint64_t{i};
        const auto tag = readUInt(reader, entry, *order, 2);
        const auto value = readUInt(reader, entry + 8, *order, 4);
        if (!tag || !value) return std::nullopt;
        if (*tag == 0x0201 && !offset) offset = value;
        if (*tag == 0x0202 && !length) length = value;
    }
    if (!offset || !length) return std::nullopt;
    return LegacyEmbeddedThumbnailCleaner::ThumbnailReference{*base, *linkPosition, *offset, *length};
}

} // namespace

std::optional<LegacyEmbeddedThumbnailCleaner::Size> LegacyEmbeddedThumbnailCleaner::jpegSize(Bytes stream) {
    const MemoryBytes bytes(stream.data(), stream.size());
    Reader reader(bytes);
    return jpegSizeIn(reader, 0, stream.size());
}

std::optional<LegacyEmbeddedThumbnailCleaner::ThumbnailReference>
LegacyEmbeddedThumbnailCleaner::thumbnailReference(Bytes data) {
    const MemoryBytes bytes(data.data(), data.size());
    Reader reader(bytes);
    return referenceIn(reader);
}

void LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(const std::filesystem::path& file) {
    std::optional<ThumbnailReference> reference;
    {
        const auto opened = RegularFile::open(file, std::numeric_limits<std::uint64_t>::max());
        if (!opened) return;
        Reader reader(*opened);
        reference = referenceIn(reader);
        if (!reference) return;
        const auto start = advanced(reader.size(), reference->tiffBase, reference->offset);
        if (!start || !advanced(reader.size(), *start, reference->length)) return;
        const auto thumbnail = jpegSizeIn(reader, *start, *start + reference->length);
        if (!thumbnail) return;
        const auto main = jpegSizeIn(reader, 0, reader.size());
        if (!main) return;
        if (thumbnail->isPortrait() == main->isPortrait()) return;
    } // closed before the file is written
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    static constexpr std::uint8_t kZeros[4] = {0, 0, 0, 0};
    [[maybe_unused]] const auto written =
        ::pwrite(fd, kZeros, sizeof kZeros, static_cast<off_t>(reference->linkPosition));
    ::close(fd);
}

} // namespace sorvin
