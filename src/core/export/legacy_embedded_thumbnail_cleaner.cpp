#include "export/legacy_embedded_thumbnail_cleaner.hpp"

#include "platform/regular_file.hpp"

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace sorvin {

namespace {

using Bytes = std::span<const std::uint8_t>;

// A copied photo larger than this is left alone.
constexpr std::uint64_t kMaximumFileBytes = std::uint64_t{1} << 31;

enum class ByteOrder { little, big };

enum class Decision { next, found, fail };

// Walks the markers of the JPEG stream in `data`; `segment` sees each segment with a length
// (marker, position of the length field, length) and decides.
bool walkMarkers(Bytes data, const std::function<Decision(std::uint8_t, std::size_t, std::size_t)>& segment) {
    const std::size_t end = data.size();
    if (end < 2 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t p = 2;
    for (;;) {
        if (p >= end || data[p] != 0xFF) return false;
        while (p < end && data[p] == 0xFF)
            ++p;
        if (p >= end) return false;
        const std::uint8_t marker = data[p++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD9 || marker == 0xDA || marker == 0x00) return false;
        if (end - p < 2) return false;
        const std::size_t length = (std::size_t{data[p]} << 8) | data[p + 1];
        if (length < 2 || length > end - p) return false;
        switch (segment(marker, p, length)) {
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

bool matchesExifIdentifier(Bytes data, std::size_t position) {
    static constexpr std::uint8_t kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
    return position <= data.size() && data.size() - position >= 6 &&
           std::memcmp(data.data() + position, kIdentifier, 6) == 0;
}

std::optional<std::size_t> tiffBase(Bytes data) {
    std::optional<std::size_t> base;
    walkMarkers(data, [&](std::uint8_t marker, std::size_t p, std::size_t length) {
        if (marker == 0xE1 && length >= 8 && matchesExifIdentifier(data, p + 2)) {
            base = p + 2 + 6;
            return Decision::found;
        }
        return Decision::next;
    });
    return base;
}

std::optional<ByteOrder> byteOrder(Bytes data, std::size_t base) {
    if (base > data.size() || data.size() - base < 2) return std::nullopt;
    if (data[base] == 'I' && data[base + 1] == 'I') return ByteOrder::little;
    if (data[base] == 'M' && data[base + 1] == 'M') return ByteOrder::big;
    return std::nullopt;
}

std::optional<std::uint32_t> readUInt(Bytes data, std::optional<std::size_t> position, ByteOrder order,
                                      std::size_t width) {
    if (!position || *position > data.size() || data.size() - *position < width) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t index = order == ByteOrder::big ? i : width - 1 - i;
        value = (value << 8) | data[*position + index];
    }
    return value;
}

// base + offset, when it lies within the data.
std::optional<std::size_t> advanced(Bytes data, std::size_t base, std::uint64_t offset) {
    if (base > data.size() || offset > data.size() - base) return std::nullopt;
    return base + static_cast<std::size_t>(offset);
}

} // namespace

std::optional<LegacyEmbeddedThumbnailCleaner::Size> LegacyEmbeddedThumbnailCleaner::jpegSize(Bytes stream) {
    std::optional<Size> size;
    walkMarkers(stream, [&](std::uint8_t marker, std::size_t p, std::size_t length) {
        const bool isFrame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!isFrame) return Decision::next;
        if (length < 8) return Decision::fail;
        // p is the length field: precision at p + 2, height at p + 3, width at p + 5.
        const int height = (stream[p + 3] << 8) | stream[p + 4];
        const int width = (stream[p + 5] << 8) | stream[p + 6];
        if (height == 0 || width == 0) return Decision::fail;
        size = Size{width, height};
        return Decision::found;
    });
    return size;
}

std::optional<LegacyEmbeddedThumbnailCleaner::ThumbnailReference>
LegacyEmbeddedThumbnailCleaner::thumbnailReference(Bytes data) {
    const auto base = tiffBase(data);
    if (!base) return std::nullopt;
    const auto order = byteOrder(data, *base);
    if (!order) return std::nullopt;
    const auto ifd0Offset = readUInt(data, advanced(data, *base, 4), *order, 4);
    if (!ifd0Offset) return std::nullopt;
    const auto ifd0 = advanced(data, *base, *ifd0Offset);
    if (!ifd0) return std::nullopt;
    const auto ifd0Count = readUInt(data, ifd0, *order, 2);
    if (!ifd0Count) return std::nullopt;
    const auto linkPosition = advanced(data, *ifd0, 2 + 12 * std::uint64_t{*ifd0Count});
    const auto ifd1Offset = readUInt(data, linkPosition, *order, 4);
    if (!ifd1Offset || *ifd1Offset == 0) return std::nullopt;
    const auto ifd1 = advanced(data, *base, *ifd1Offset);
    if (!ifd1) return std::nullopt;
    const auto ifd1Count = readUInt(data, ifd1, *order, 2);
    if (!ifd1Count) return std::nullopt;
    const std::uint64_t entriesBytes = 12 * std::uint64_t{*ifd1Count};
    const auto entriesStart = advanced(data, *ifd1, 2);
    if (!entriesStart || !advanced(data, *entriesStart, entriesBytes)) return std::nullopt;
    std::optional<std::uint32_t> offset;
    std::optional<std::uint32_t> length;
    for (std::uint32_t i = 0; i < *ifd1Count; ++i) {
        const std::size_t entry = *ifd1 + 2 + 12 * std::size_t{i};
        const auto tag = readUInt(data, entry, *order, 2);
        const auto value = readUInt(data, entry + 8, *order, 4);
        if (!tag || !value) return std::nullopt;
        if (*tag == 0x0201 && !offset) offset = value;
        if (*tag == 0x0202 && !length) length = value;
    }
    if (!offset || !length) return std::nullopt;
    return ThumbnailReference{*base, *linkPosition, *offset, *length};
}

void LegacyEmbeddedThumbnailCleaner::cleanIfNeeded(const std::filesystem::path& file) {
    std::optional<FileBytes> bytes;
    {
        const auto opened = RegularFile::open(file, kMaximumFileBytes);
        if (opened) bytes = opened->readAll();
    } // closed before the file is written
    if (!bytes) return;
    const Bytes data = bytes->span();
    const auto reference = thumbnailReference(data);
    if (!reference) return;
    const auto start = advanced(data, reference->tiffBase, reference->offset);
    if (!start || !advanced(data, *start, reference->length)) return;
    const auto thumbnail = jpegSize(data.subspan(*start, reference->length));
    if (!thumbnail) return;
    const auto main = jpegSize(data);
    if (!main) return;
    if (thumbnail->isPortrait() == main->isPortrait()) return;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;
    static constexpr std::uint8_t kZeros[4] = {0, 0, 0, 0};
    [[maybe_unused]] const auto written =
        ::pwrite(fd, kZeros, sizeof kZeros, static_cast<off_t>(reference->linkPosition));
    ::close(fd);
}

} // namespace sorvin
