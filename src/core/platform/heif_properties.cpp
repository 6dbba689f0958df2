// HEIF image properties from the file's item boxes, without touching the coded image data: the
// primary item's size with its clean aperture and rotation applied (the size libheif decodes to;
// the program then treats the image as orientation 1), and the capture date from its EXIF item.
// The item boxes are walked where they lie, each lookup in one pass over its box, so no count they
// declare costs memory or time beyond the bytes that hold it.
#include "platform/byte_source.hpp"
#include "platform/container_extents.hpp"
#include "platform/exif_block.hpp"
#include "platform/image_properties.hpp"
#include "platform/regular_file.hpp"
#include "platform/tiff_structure.hpp"

#include <algorithm>
#include <vector>

namespace sorvin::ImagePropertiesReader {

namespace {

// Real files keep their item boxes and EXIF within a few hundred kilobytes.
constexpr std::uint64_t maxMetaBytes = std::uint64_t{2} << 20;
constexpr std::uint64_t maxExifBytes = std::uint64_t{1} << 20;
constexpr std::size_t maxExifExtents = 64;
// The most properties an association can name (15-bit indices).
constexpr std::size_t maxProperties = 0x7FFF;
// Items whose EXIF item may describe the primary image, looked at.
constexpr std::size_t maxDescribers = 64;

constexpr std::uint32_t fourcc(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

// A bounded cursor over bytes in memory; every read past the end fails and sticks.
class Cursor {
public:
    Cursor() = default;
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
    void skip(std::uint64_t bytes) {
        if (!ok_ || bytes > size_ - at_)
            ok_ = false;
        else
            at_ += static_cast<std::size_t>(bytes);
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t at_ = 0;
    bool ok_ = true;
};

struct Box {
    std::uint32_t type = 0;
    Cursor body;
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
    sequence.skip(size - header);
    return true;
}

struct Extent {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

// The boxes of "meta" this reader uses, each kept where it lies.
struct ItemBoxes {
    std::uint32_t primary = 0;
    bool hasPrimary = false;
    std::optional<Cursor> iinf, iloc, iref, ipma; // absent when the file has no such box
    std::vector<Box> properties;                  // ipco, in order (index - 1), as many as an index can name
};

// Calls visit(id, type) for every item entry; false when the box is damaged.
template <typename Visit>
bool forEachItem(std::optional<Cursor> box, Visit visit) {
    if (!box) return true;
    Cursor body = *box;
    const auto version = body.read(1);
    body.skip(3);
    body.skip(version == 0 ? 2 : 4);
    Box infe;
    while (nextBox(body, infe)) {
        Cursor& c = infe.body;
        if (infe.type != fourcc("infe")) continue;
        const auto infeVersion = c.read(1);
        c.skip(3);
        if (infeVersion < 2) continue;
        const auto id = static_cast<std::uint32_t>(c.read(infeVersion == 2 ? 2 : 4));
        c.skip(2); // protection index
        const auto type = static_cast<std::uint32_t>(c.read(4));
        if (c.ok() && !visit(id, type)) break;
    }
    return body.ok();
}

// Walks the item locations, collecting the file extents of `wanted` (none for items kept in
// "idat"). Every extent must cost bytes of the box, and no item may declare more extents than
// the rest of the box can hold, so the walk is bounded by the box's size. False when damaged, or
// when the wanted item has more than maxExtents extents.
bool walkItemLocations(std::optional<Cursor> box, std::optional<std::uint32_t> wanted,
                       std::vector<Extent>* extentsOfWanted, std::size_t maxExtents = maxExifExtents) {
    if (!box) return true;
    Cursor c = *box;
    const auto version = c.read(1);
    c.skip(3);
    const auto sizes = c.read(2);
    const std::size_t offsetSize = (sizes >> 12) & 15, lengthSize = (sizes >> 8) & 15,
                      baseSize = (sizes >> 4) & 15;
    const std::size_t indexSize = version >= 1 ? sizes & 15 : 0;
    const std::size_t extentBytes = indexSize + offsetSize + lengthSize;
    const auto count = c.read(version < 2 ? 2 : 4);
    for (std::uint64_t i = 0; i < count && c.ok(); ++i) {
        const auto id = static_cast<std::uint32_t>(c.read(version < 2 ? 2 : 4));
        const auto method = version >= 1 ? (c.read(2) & 15) : 0;
        c.skip(2); // data reference index
        const auto base = c.read(baseSize);
        const auto extents = c.read(2);
        if (!c.ok() || (extentBytes == 0 ? extents > 1 : extents > c.remaining() / extentBytes)) return false;
        if (wanted && id == *wanted && method == 0 && extentsOfWanted && extentsOfWanted->empty()) {
            if (extents > maxExtents) return false;
            for (std::uint64_t e = 0; e < extents; ++e) {
                c.skip(indexSize);
                Extent extent;
                extent.offset = base + c.read(offsetSize);
                extent.length = c.read(lengthSize);
                extentsOfWanted->push_back(extent);
            }
        } else {
            c.skip(extents * extentBytes);
        }
    }
    return c.ok();
}

// Calls visit(from, to) for every "cdsc" reference; false when the box is damaged.
template <typename Visit>
bool forEachDescription(std::optional<Cursor> box, Visit visit) {
    if (!box) return true;
    Cursor body = *box;
    const auto version = body.read(1);
    body.skip(3);
    const std::size_t idSize = version == 0 ? 2 : 4;
    Box reference;
    while (nextBox(body, reference)) {
        Cursor& c = reference.body;
        const auto from = static_cast<std::uint32_t>(c.read(idSize));
        // A reference box that claims more than it holds gives what it holds.
        const auto count = std::min<std::uint64_t>(c.read(2), c.remaining() / idSize);
        if (reference.type != fourcc("cdsc")) continue;
        for (std::uint64_t i = 0; i < count; ++i)
            visit(from, static_cast<std::uint32_t>(c.read(idSize)));
    }
    return body.ok();
}

// The property indices associated with an item (the first entry that names it); false when the
// box is damaged.
bool associationsOf(std::optional<Cursor> box, std::uint32_t item, std::vector<std::uint32_t>& out) {
    out.clear();
    if (!box) return true;
    Cursor c = *box;
    const auto version = c.read(1);
    const auto flags = c.read(3);
    const auto count = c.read(4);
    const std::size_t indexSize = (flags & 1) ? 2 : 1;
    bool found = false;
    for (std::uint64_t i = 0; i < count && c.ok(); ++i) {
        const auto id = static_cast<std::uint32_t>(c.read(version < 1 ? 2 : 4));
        const auto associations = c.read(1);
        if (id != item || found) {
            c.skip(associations * indexSize);
            continue;
        }
        found = true;
        for (std::uint64_t a = 0; a < associations && c.ok(); ++a)
            out.push_back(
                static_cast<std::uint32_t>(indexSize == 2 ? (c.read(2) & 0x7FFF) : (c.read(1) & 0x7F)));
    }
    return c.ok();
}

bool readIprp(Cursor body, ItemBoxes& items) {
    Box child;
    while (nextBox(body, child)) {
        if (child.type == fourcc("ipco")) {
            Box property;
            while (items.properties.size() < maxProperties && nextBox(child.body, property))
                items.properties.push_back(property);
        } else if (child.type == fourcc("ipma")) {
            items.ipma = child.body;
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
            items.iinf = c;
            break;
        case fourcc("iloc"):
            items.iloc = c;
            break;
        case fourcc("iref"):
            items.iref = c;
            break;
        case fourcc("iprp"):
            if (!readIprp(c, items)) return false;
            break;
        default:
            break;
        }
    }
    // Damage in the boxes the image depends on refuses the file, as a decoder would.
    std::vector<std::uint32_t> unused;
    return body.ok() && forEachItem(items.iinf, [](auto, auto) { return true; }) &&
           walkItemLocations(items.iloc, std::nullopt, nullptr) &&
           forEachDescription(items.iref, [](auto, auto) {}) && associationsOf(items.ipma, 0, unused);
}

std::optional<std::uint32_t> primaryType(const ItemBoxes& items) {
    std::optional<std::uint32_t> type;
    forEachItem(items.iinf, [&](std::uint32_t id, std::uint32_t itemType) {
        if (id == items.primary) type = itemType;
        return !type;
    });
    return type;
}

// The decoded size: the spatial extent, then the clean aperture and rotations in property order.
std::optional<std::pair<std::int64_t, std::int64_t>> displaySize(const ItemBoxes& items) {
    std::vector<std::uint32_t> associated;
    if (!associationsOf(items.ipma, items.primary, associated) || associated.empty()) return std::nullopt;
    std::optional<std::pair<std::int64_t, std::int64_t>> size;
    for (std::uint32_t index : associated) {
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
    for (std::uint32_t index : associated) {
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
    std::vector<std::uint32_t> describers;
    forEachDescription(items.iref, [&](std::uint32_t from, std::uint32_t to) {
        if (to == items.primary && describers.size() < maxDescribers) describers.push_back(from);
    });
    std::optional<std::uint32_t> exif;
    forEachItem(items.iinf, [&](std::uint32_t id, std::uint32_t type) {
        if (type != fourcc("Exif")) return true;
        const bool describesPrimary = std::find(describers.begin(), describers.end(), id) != describers.end();
        if (describesPrimary || !exif) exif = id;
        return !describesPrimary;
    });
    if (!exif) return std::nullopt;
    std::vector<Extent> extents;
    if (!walkItemLocations(items.iloc, *exif, &extents) || extents.empty()) return std::nullopt;
    std::vector<std::uint8_t> block;
    for (const Extent& extent : extents) {
        if (extent.length > maxExifBytes - block.size() || extent.offset > file.size() ||
            extent.length > file.size() - extent.offset)
            return std::nullopt;
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

std::optional<ImageProperties> readHeif(const RegularFile& file) {
    const auto boxes = ContainerExtents::topLevelBoxes(file);
    if (!boxes) return std::nullopt;

    // Take the top-level "meta" box into memory; the image data stay on disk.
    const auto meta = std::find_if(boxes->begin(), boxes->end(),
                                   [](const auto& box) { return box.type == fourcc("meta"); });
    if (meta == boxes->end() || meta->size == meta->headerSize ||
        meta->size - meta->headerSize > maxMetaBytes)
        return std::nullopt;
    std::vector<std::uint8_t> metaBytes(static_cast<std::size_t>(meta->size - meta->headerSize));
    if (!file.readAt(meta->offset + meta->headerSize, metaBytes.data(), metaBytes.size()))
        return std::nullopt;

    ItemBoxes items;
    if (!readMeta(Cursor(metaBytes.data(), metaBytes.size()), items) || !items.hasPrimary)
        return std::nullopt;
    const auto type = primaryType(items);
    if (!type || (*type != fourcc("hvc1") && *type != fourcc("grid") && *type != fourcc("iden") &&
                  *type != fourcc("av01")))
        return std::nullopt;
    const auto size = displaySize(items);
    // Each side is checked before the product, which could not be held otherwise.
    if (!size || size->first < 1 || size->second < 1 || size->first > maxPixelCount ||
        size->second > maxPixelCount || size->first * size->second > maxPixelCount)
        return std::nullopt;

    ImageProperties properties;
    properties.pixelWidth = static_cast<int>(size->first);
    properties.pixelHeight = static_cast<int>(size->second);
    properties.dateTimeOriginal = captureDate(file, items);
    return properties;
}

} // namespace sorvin::ImagePropertiesReader
