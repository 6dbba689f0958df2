#pragma once

// Crafted files that are valid containers but declare far more than their bytes hold: the classes
// a bounded reader must refuse cheaply. Shared by the reader tests and the hostile-folder benchmark.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace sorvin::test::hostile {

inline std::string be16(std::uint16_t v) {
    return {char(v >> 8), char(v)};
}
inline std::string be32(std::uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
inline std::string le16(std::uint16_t v) {
    return {char(v), char(v >> 8)};
}
inline std::string le32(std::uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

inline std::string box(const char* type, const std::string& payload) {
    return be32(static_cast<std::uint32_t>(8 + payload.size())) + type + payload;
}
inline std::string fullBox(const char* type, std::uint8_t version, const std::string& payload) {
    return box(type, std::string{char(version), 0, 0, 0} + payload);
}

// Big-endian TIFF with DateTimeOriginal in the EXIF IFD.
inline std::string exifTiffWithDate(const std::string& date) {
    std::string tiff = "MM" + be16(42) + be32(8);
    tiff += be16(1) + be16(0x8769) + be16(4) + be32(1) + be32(26) + be32(0);
    tiff += be16(1) + be16(0x9003) + be16(2) + be32(static_cast<std::uint32_t>(date.size() + 1)) + be32(44) +
            be32(0);
    return tiff + date + '\0';
}

struct HeifLayout {
    std::uint32_t width = 4000, height = 3000;
    std::string transforms; // property boxes after ispe, associated in this order
    int transformCount = 0;
    std::uint32_t exifOffsetShift = 0; // moves the EXIF extent, to point it outside the file
    std::string exifTiff = exifTiffWithDate("2021:03:04 05:06:07");
    std::string iloc; // replaces the item locations when set
};

// A small HEIF file: one coded image item (its data are not real) and an EXIF item that describes it.
inline std::string heif(const HeifLayout& layout) {
    const std::string ftyp = box("ftyp", std::string("heic") + be32(0) + "mif1heic");
    const std::string imageData(64, '\x55');
    // An EXIF item: the offset of the TIFF header, "Exif\0\0", then the TIFF block.
    const std::string exif = be32(6) + std::string("Exif\0\0", 6) + layout.exifTiff;
    const std::string mdat = box("mdat", imageData + exif);
    const auto imageAt = static_cast<std::uint32_t>(ftyp.size() + 8);
    const std::uint32_t exifAt =
        imageAt + static_cast<std::uint32_t>(imageData.size()) + layout.exifOffsetShift;

    const std::string hdlr = fullBox("hdlr", 0, be32(0) + "pict" + std::string(12, '\0') + '\0');
    const std::string pitm = fullBox("pitm", 0, be16(1));
    const std::string iinf = fullBox("iinf", 0,
                                     be16(2) + fullBox("infe", 2, be16(1) + be16(0) + "hvc1" + '\0') +
                                         fullBox("infe", 2, be16(2) + be16(0) + "Exif" + '\0'));
    const std::string iloc =
        !layout.iloc.empty()
            ? layout.iloc
            : fullBox("iloc", 0,
                      std::string{0x44, 0x00} + be16(2) + be16(1) + be16(0) + be16(1) + be32(imageAt) +
                          be32(static_cast<std::uint32_t>(imageData.size())) + be16(2) + be16(0) + be16(1) +
                          be32(exifAt) + be32(static_cast<std::uint32_t>(exif.size())));
    const std::string iref = fullBox("iref", 0, box("cdsc", be16(2) + be16(1) + be16(1)));
    const std::string hvcC = box("hvcC", std::string{1} + std::string(21, '\0') + '\0');
    const std::string ispe = fullBox("ispe", 0, be32(layout.width) + be32(layout.height));
    const std::string ipco = box("ipco", hvcC + ispe + layout.transforms);
    std::string associations{char(0x81), char(2)};
    for (int i = 0; i < layout.transformCount; ++i)
        associations += char(0x80 | (3 + i));
    const std::string ipma =
        fullBox("ipma", 0, be32(1) + be16(1) + char(2 + layout.transformCount) + associations);
    const std::string meta = fullBox("meta", 0, hdlr + pitm + iinf + iloc + iref + box("iprp", ipco + ipma));
    return ftyp + mdat + meta;
}

// Item locations whose extents have no offset or length fields, so each costs no byte: as many items
// as fit in about `bytes`, each declaring 65,535 extents.
inline std::string heifWithFreeExtents(std::size_t bytes) {
    const std::size_t items = std::min<std::size_t>(bytes / 6, 65535);
    std::string entries;
    for (std::size_t i = 0; i < items; ++i)
        entries += be16(static_cast<std::uint16_t>(i + 1)) + be16(0) + be16(0xFFFF);
    HeifLayout layout;
    layout.iloc =
        fullBox("iloc", 0, std::string{0x00, 0x00} + be16(static_cast<std::uint16_t>(items)) + entries);
    return heif(layout);
}

// A spatial extent whose product does not fit in 64 bits.
inline std::string heifWithHugeSize() {
    HeifLayout layout;
    layout.width = layout.height = 0xFFFFFFFF;
    return heif(layout);
}

// An ISO media file of nothing but empty top-level boxes, about `bytes` long.
inline std::string isoMediaWithManyBoxes(std::size_t bytes) {
    std::string file = box("ftyp", std::string("heic") + be32(0) + "mif1heic");
    const std::string empty = box("free", "");
    file.reserve(bytes);
    while (file.size() + empty.size() <= bytes)
        file += empty;
    return file;
}

inline std::string tiffEntry(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                             std::uint32_t value) {
    return le16(tag) + le16(type) + le32(count) + le32(value);
}

// Little-endian TIFF whose IFD0 holds 4,096 strip entries that all name one shared array of 65,536
// values, about `bytes` long: every entry is small, but together they promise far more values than
// the file holds.
inline std::string tiffWithSharedValues(std::size_t bytes) {
    constexpr std::uint32_t entries = 4096;
    const std::uint32_t arrayAt = 8 + 2 + entries * 12 + 4;
    const std::uint32_t values =
        static_cast<std::uint32_t>(std::min<std::size_t>(65536, bytes > arrayAt ? (bytes - arrayAt) / 4 : 1));
    std::string tiff = "II" + le16(42) + le32(8) + le16(entries);
    for (std::uint32_t i = 0; i < entries; ++i)
        tiff += tiffEntry(i % 2 == 0 ? 0x0111 : 0x0117, 4, values, arrayAt);
    tiff += le32(0);
    tiff += std::string(std::size_t{values} * 4, '\0');
    return tiff;
}

// Little-endian TIFF whose IFD0 holds 4,096 SubIFDs entries, each naming the same 200 distinct
// (empty) sub-IFDs.
inline std::string tiffWithSubIfdFanOut() {
    constexpr std::uint32_t entries = 4096, subIfds = 200;
    const std::uint32_t listAt = 8 + 2 + entries * 12 + 4;
    const std::uint32_t ifdsAt = listAt + subIfds * 4;
    std::string tiff = "II" + le16(42) + le32(8) + le16(entries);
    for (std::uint32_t i = 0; i < entries; ++i)
        tiff += tiffEntry(0x014A, 4, subIfds, listAt);
    tiff += le32(0);
    for (std::uint32_t i = 0; i < subIfds; ++i)
        tiff += le32(ifdsAt + i * 6);
    for (std::uint32_t i = 0; i < subIfds; ++i)
        tiff += le16(0) + le32(0);
    return tiff;
}

// A HEIF file whose EXIF item is TIFF built like tiffWithSharedValues.
inline std::string heifWithSharedValuesExif(std::size_t bytes) {
    HeifLayout layout;
    layout.exifTiff = tiffWithSharedValues(bytes);
    return heif(layout);
}

// A real JPEG with `count` APP1 segments that are not EXIF, each `bytes` long (at most 65,537),
// inserted after its start marker.
inline std::string jpegWithManySegments(const std::string& jpeg, std::size_t count, std::size_t bytes) {
    const std::string xmp("http://ns.adobe.com/xap/1.0/\0", 29);
    const auto length = static_cast<std::uint16_t>(bytes - 2);
    const std::string segment = "\xFF\xE1" + be16(length) + xmp + std::string(length - 2 - xmp.size(), ' ');
    std::string file = jpeg.substr(0, 2);
    file.reserve(count * segment.size() + jpeg.size());
    for (std::size_t i = 0; i < count; ++i)
        file += segment;
    return file + jpeg.substr(2);
}

inline void write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Writes the bytes, then extends the file without writing to `size` (a sparse file: its length
// costs no disk).
inline void writeSparse(const std::filesystem::path& path, const std::string& bytes, std::uintmax_t size) {
    write(path, bytes);
    std::filesystem::resize_file(path, size);
}

} // namespace sorvin::test::hostile
