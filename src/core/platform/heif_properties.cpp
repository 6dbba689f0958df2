// HEIF image properties from the file's item boxes, without touching the coded image data: the
// primary item's size with its clean aperture and rotation applied (the size libheif decodes to;
// the program then treats the image as orientation 1), and the capture date from its EXIF item.
#include "platform/byte_source.hpp"
#include "platform/container_extents.hpp"
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/regular_file.hpp"
#include "platform/tiff_structure.hpp"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace sorvin::ImagePropertiesReader {

namespace {

constexpr std::uint64_t maxMetaBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t maxExifBytes = std::uint64_t{4} << 20;

constexpr std::uint32_t fourcc(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

// A bounded cursor over bytes in memory; every read past the end fails and sticks.
class Cursor {
public:
    Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    std::size_t remaining() const { return ok_ ? size_ - at_ : 0; }
    const std::uint8_t* here() const { return data_ + at_; }
    std::uint64_t read(std::size_t bytes) {
        if (!ok_ || bytes > size_ - at_) {
            ok_ = false;
            return 0;
        }
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value = (value << 8) | data_[at_ + i];
        at_ += bytes;
        return value;
    }
    void skip(std::size_t bytes) {
        if (!ok_ || bytes > size_ - at_)
            ok_ = false;
        else
            at_ += bytes;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

struct Box {
    std::uint32_t type = 0;
    Cursor body{nullptr, 0};
};

// The next box of a sequence; false at the end or on a box that does not fit.
bool nextBox(Cursor& sequence, Box& box) {
    if (sequence.remaining() < 8) return false;
    const std::uint8_t* start = sequence.here();
    std::uint64_t size = sequence.read(4);
    box.type = static_cast<std::uint32_t>(sequence.read(4));
    std::uint64_t header = 8;
    if (size == 1) {
        size = sequence.read(8);
        header = 16;
    } else if (size == 0) {
        size = header + sequence.remaining();
    }
    if (!sequence.ok() || size < header || size - header > sequence.remaining()) return false;
    box.body = Cursor(start + header, static_cast<std::size_t>(size - header));
    sequence.skip(static_cast<std::size_t>(size - header));
    return true;
}

struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

struct ItemBoxes {
    std::uint32_t primary = 0;
    bool hasPrimary = false;
    std::map<std::uint32_t, std::uint32_t> itemTypes;
    std::map<std::uint32_t, std::vector<Extent>> fileExtents;       // items stored in the file (not in idat)
    std::vector<std::pair<std::uint32_t, std::uint32_t>> describes; // cdsc: (metadata item, image item)
    std::vector<Box> properties;                                    // ipco, in order (index - 1)
    std::map<std::uint32_t, std::vector<std::uint32_t>> associations; // item -> property indices
};

bool readIinf(Cursor body, ItemBoxes& items) {
    const auto version = body.read(1);
    body.skip(3);
    body.skip(version == 0 ? 2 : 4);
    Box infe;
    while (nextBox(body, infe)) {
        if (infe.type != fourcc("infe")) continue;
        Cursor& c = infe.body;
        const auto infeVersion = c.read(1);
        c.skip(3);
        if (infeVersion < 2) continue;
        const auto id = static_cast<std::uint32_t>(c.read(infeVersion == 2 ? 2 : 4));
        c.skip(2); // protection index
        const auto type = static_cast<std::uint32_t>(c.read(4));
        if (c.ok()) items.itemTypes[id] = type;
    }
    return body.ok();
}

bool readIloc(Cursor c, ItemBoxes& items) {
    const auto version = c.read(1);
    c.skip(3);
    const auto sizes = c.read(2);
    const std::size_t offsetSize = (sizes >> 12) & 15, lengthSize = (sizes >> 8) & 15,
                      baseSize = (sizes >> 4) & 15;
    const std::size_t indexSize = version >= 1 ? sizes & 15 : 0;
    const auto count = c.read(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && c.ok(); ++i) {
        const auto id = static_cast<std::uint32_t>(c.read(version < 2 ? 2 : 4));
        const auto method = version >= 1 ? (c.read(2) & 15) : 0;
        c.skip(2); // data reference index
        const auto base = c.read(baseSize);
        const auto extents = c.read(2);
        std::vector<Extent> list;
        for (std::uint64_t e = 0; e < extents && c.ok(); ++e) {
            c.skip(indexSize);
            Extent extent;
            extent.offset = base + c.read(offsetSize);
            extent.length = c.read(lengthSize);
            list.push_back(extent);
        }
        if (method == 0) items.fileExtents[id] = std::move(list);
    }
    return c.ok();
}

bool readIref(Cursor body, ItemBoxes& items) {
    const auto version = body.read(1);
    body.skip(3);
    const std::size_t idSize = version == 0 ? 2 : 4;
    Box reference;
    while (nextBox(body, reference)) {
        Cursor& c = reference.body;
        const auto from = static_cast<std::uint32_t>(c.read(idSize));
        const auto count = c.read(2);
        for (std::uint64_t i = 0; i < count && c.ok(); ++i) {
            const auto to = static_cast<std::uint32_t>(c.read(idSize));
            if (c.ok() && reference.type == fourcc("cdsc")) items.describes.emplace_back(from, to);
        }
    }
    return body.ok();
}

bool readIprp(Cursor body, ItemBoxes& items) {
    Box child;
    while (nextBox(body, child)) {
        if (child.type == fourcc("ipco")) {
            Box property;
            while (nextBox(child.body, property))
                items.properties.push_back(property);
        } else if (child.type == fourcc("ipma")) {
            Cursor& c = child.body;
            const auto version = c.read(1);
            const auto flags = c.read(3);
            const auto count = c.read(4);
            for (std::uint64_t i = 0; i < count && c.ok(); ++i) {
                const auto id = static_cast<std::uint32_t>(c.read(version < 1 ? 2 : 4));
                const auto associations = c.read(1);
                auto& list = items.associations[id];
                for (std::uint64_t a = 0; a < associations && c.ok(); ++a)
                    list.push_back(
                        static_cast<std::uint32_t>((flags & 1) ? (c.read(2) & 0x7FFF) : (c.read(1) & 0x7F)));
            }
            if (!c.ok()) return false;
        }
    }
    return body.ok();
}

bool readMeta(Cursor body, ItemBoxes& items) {
    body.skip(4); // version and flags
    Box child;
    while (nextBox(body, child)) {
        Cursor c = child.body;
        switch (child.type) {
        case fourcc("pitm"): {
            const auto version = c.read(1);
            c.skip(3);
            items.primary = static_cast<std::uint32_t>(c.read(version == 0 ? 2 : 4));
            items.hasPrimary = c.ok();
            break;
        }
        case fourcc("iinf"):
            if (!readIinf(c, items)) return false;
            break;
        case fourcc("iloc"):
            if (!readIloc(c, items)) return false;
            break;
        case fourcc("iref"):
            if (!readIref(c, items)) return false;
            break;
        case fourcc("iprp"):
            if (!readIprp(c, items)) return false;
            break;
        default:
            break;
        }
    }
    return body.ok();
}

// The decoded size: the spatial extent, then the clean aperture and rotations in property order.
std::optional<std::pair<std::int64_t, std::int64_t>> displaySize(const ItemBoxes& items) {
    auto found = items.associations.find(items.primary);
    if (found == items.associations.end()) return std::nullopt;
    std::optional<std::pair<std::int64_t, std::int64_t>> size;
    for (std::uint32_t index : found->second) {
        if (index == 0 || index > items.properties.size()) continue;
        const Box& property = items.properties[index - 1];
        Cursor c = property.body;
        if (property.type == fourcc("ispe")) {
            c.skip(4);
            const auto width = static_cast<std::int64_t>(c.read(4));
            const auto height = static_cast<std::int64_t>(c.read(4));
            if (c.ok()) size = std::make_pair(width, height);
        }
    }
    if (!size) return std::nullopt;
    for (std::uint32_t index : found->second) {
        if (index == 0 || index > items.properties.size()) continue;
        const Box& property = items.properties[index - 1];
        Cursor c = property.body;
        if (property.type == fourcc("clap")) {
            std::uint64_t values[4];
            for (auto& value : values)
                value = c.read(4);
            if (!c.ok() || values[1] == 0 || values[3] == 0) return std::nullopt;
            // Rounded to the nearest whole pixel, halves up.
            size = std::make_pair(static_cast<std::int64_t>((values[0] + values[1] / 2) / values[1]),
                                  static_cast<std::int64_t>((values[2] + values[3] / 2) / values[3]));
        } else if (property.type == fourcc("irot")) {
            const auto quarterTurns = c.read(1) & 3;
            if (c.ok() && (quarterTurns & 1)) size = std::make_pair(size->second, size->first);
        }
    }
    return size;
}

std::optional<std::string> captureDate(const RegularFile& file, const ItemBoxes& items) {
    // The EXIF item that describes the primary image, or failing that the first one.
    std::optional<std::uint32_t> exif;
    for (const auto& [id, type] : items.itemTypes) {
        if (type != fourcc("Exif")) continue;
        const bool describesPrimary = std::find(items.describes.begin(), items.describes.end(),
                                                std::make_pair(id, items.primary)) != items.describes.end();
        if (describesPrimary || !exif) exif = id;
        if (describesPrimary) break;
    }
    if (!exif) return std::nullopt;
    const auto extents = items.fileExtents.find(*exif);
    if (extents == items.fileExtents.end()) return std::nullopt;
    std::vector<std::uint8_t> block;
    for (const Extent& extent : extents->second) {
        if (extent.length > maxExifBytes - block.size()) return std::nullopt;
        const std::size_t at = block.size();
        block.resize(at + static_cast<std::size_t>(extent.length));
        if (!file.readAt(extent.offset, block.data() + at, static_cast<std::size_t>(extent.length)))
            return std::nullopt;
    }
    const auto tiff = ExifBlock::heifItemPayload(block);
    if (tiff.empty()) return std::nullopt;
    return TiffStructure::exifBasics(MemoryBytes(tiff.data(), tiff.size())).dateTimeOriginal;
}

} // namespace

std::optional<ImageProperties> readHeif(const std::filesystem::path& path) {
    auto file = RegularFile::open(path, maxFileBytes);
    if (!file || !ContainerExtents::boxesLieWithinFile(*file)) return std::nullopt;

    // Find the top-level "meta" box and take it into memory; the image data stay on disk.
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> meta;
    while (offset + 8 <= file->size() && meta.empty()) {
        std::uint8_t header[16];
        if (!file->readAt(offset, header, 8)) return std::nullopt;
        Cursor c(header, 8);
        std::uint64_t size = c.read(4);
        const auto type = static_cast<std::uint32_t>(c.read(4));
        std::uint64_t headerSize = 8;
        if (size == 1) {
            if (!file->readAt(offset + 8, header + 8, 8)) return std::nullopt;
            Cursor large(header + 8, 8);
            size = large.read(8);
            headerSize = 16;
        } else if (size == 0) {
            size = file->size() - offset;
        }
        if (type == fourcc("meta")) {
            if (size - headerSize > maxMetaBytes) return std::nullopt;
            meta.resize(static_cast<std::size_t>(size - headerSize));
            if (meta.empty() || !file->readAt(offset + headerSize, meta.data(), meta.size()))
                return std::nullopt;
        }
        offset += size;
    }
    if (meta.empty()) return std::nullopt;

    ItemBoxes items;
    if (!readMeta(Cursor(meta.data(), meta.size()), items) || !items.hasPrimary) return std::nullopt;
    const auto type = items.itemTypes.find(items.primary);
    if (type == items.itemTypes.end()) return std::nullopt;
    if (type->second != fourcc("hvc1") && type->second != fourcc("grid") && type->second != fourcc("iden") &&
        type->second != fourcc("av01"))
        return std::nullopt;
    const auto size = displaySize(items);
    if (!size || size->first < 1 || size->second < 1 || size->first * size->second > maxPixelCount)
        return std::nullopt;

    ImageProperties properties;
    properties.pixelWidth = static_cast<int>(size->first);
    properties.pixelHeight = static_cast<int>(size->second);
    properties.dateTimeOriginal = captureDate(*file, items);
    return properties;
}

} // namespace sorvin::ImagePropertiesReader
