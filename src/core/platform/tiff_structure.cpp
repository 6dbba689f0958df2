#include "platform/tiff_structure.hpp"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace sorvin::TiffStructure {

namespace {

constexpr std::size_t maxIfds = 256;
constexpr std::uint32_t maxEntries = 4096;
constexpr std::uint32_t maxValues = 1u << 16;
constexpr std::uint32_t maxTextBytes = 4096;

// What one walk may read: the structure's bytes plus a fixed cost for every read, within the size of
// the data themselves (no structure of a real file is larger than the file) and a fixed cap. Values
// that many entries or IFDs share are paid for each time, so no layout can multiply the work.
constexpr std::uint64_t maxWalkBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t walkSlackBytes = 16 << 10;
constexpr std::uint64_t costPerRead = 256;

constexpr std::uint16_t tagImageWidth = 0x0100;
constexpr std::uint16_t tagModel = 0x0110;
constexpr std::uint16_t tagOrientation = 0x0112;
constexpr std::uint16_t tagStripOffsets = 0x0111;
constexpr std::uint16_t tagStripByteCounts = 0x0117;
constexpr std::uint16_t tagTileOffsets = 0x0144;
constexpr std::uint16_t tagTileByteCounts = 0x0145;
constexpr std::uint16_t tagPanasonicRawDataOffset = 0x0118;
constexpr std::uint16_t tagSubIfds = 0x014A;
constexpr std::uint16_t tagExifIfd = 0x8769;
constexpr std::uint16_t tagDateTimeOriginal = 0x9003;

enum : std::uint16_t { typeAscii = 2, typeShort = 3, typeLong = 4, typeIfd = 13 };

constexpr std::uint32_t magicPanasonic = 0x55;

// Panasonic's RAW data are read in blocks of this size.
constexpr std::uint64_t panasonicBlockBytes = 16 << 10;

// The Sony DSLR-A100 keeps the offset of its sensor data in the SubIFDs tag of the IFD of this
// width; its data run to the end of the file.
constexpr const char* sonyA100Model = "DSLR-A100";
constexpr std::uint64_t sonyA100IfdWidth = 3872;

struct Entry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint32_t count = 0;
    std::uint8_t value[4] = {};
};

template <typename Source>
class Reader {
public:
    explicit Reader(const Source& source)
        : source_(source), budget_(std::min(source.size(), maxWalkBytes) + walkSlackBytes) {}

    // Reads the header; false when the data are not TIFF-structured.
    bool open() {
        std::uint8_t header[8];
        if (source_.size() < 8 || !source_.readAt(0, header, 8)) return false;
        if (header[0] == 'I' && header[1] == 'I') {
            little_ = true;
        } else if (header[0] == 'M' && header[1] == 'M') {
            little_ = false;
        } else {
            return false;
        }
        // The TIFF magic, or that of Olympus (ORF) and Panasonic (RW2) files.
        magic_ = read16(header + 2);
        if (magic_ != 42 && magic_ != 0x4F52 && magic_ != 0x5352 && magic_ != magicPanasonic) return false;
        firstIfd_ = read32(header + 4);
        return true;
    }

    std::uint64_t firstIfd() const { return firstIfd_; }
    bool panasonic() const { return magic_ == magicPanasonic; }
    std::uint64_t size() const { return source_.size(); }

    // The entries of the IFD at offset and the offset of the next one (0 for none).
    bool readIfd(std::uint64_t offset, std::vector<Entry>& entries, std::uint64_t& next) {
        entries.clear();
        if (++visited_ > maxIfds || !seen_.insert(offset).second) return false; // too many, or a loop
        std::uint8_t countBytes[2];
        if (offset < 8 || !charge(2) || !source_.readAt(offset, countBytes, 2)) return false;
        const std::uint32_t count = read16(countBytes);
        const std::size_t tableBytes = count * std::size_t{12} + 4;
        if (count > maxEntries || !within(offset + 2, tableBytes) || !charge(tableBytes)) return false;
        std::vector<std::uint8_t> table(tableBytes);
        if (!source_.readAt(offset + 2, table.data(), table.size())) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* p = table.data() + 12 * i;
            Entry entry;
            entry.tag = static_cast<std::uint16_t>(read16(p));
            entry.type = static_cast<std::uint16_t>(read16(p + 2));
            entry.count = read32(p + 4);
            std::copy(p + 8, p + 12, entry.value);
            entries.push_back(entry);
        }
        next = read32(table.data() + 12 * count);
        return true;
    }

    // The values of a SHORT, LONG or IFD array of at most maxCount values; false when there are
    // more, when they lie outside the data or when the walk's budget runs out.
    bool numbers(const Entry& entry, std::vector<std::uint64_t>& out, std::uint32_t maxCount = maxValues) {
        out.clear();
        const std::size_t width = entry.type == typeShort                           ? 2
                                  : entry.type == typeLong || entry.type == typeIfd ? 4
                                                                                    : 0;
        if (width == 0 || entry.count > maxCount || !bytes(entry, width, raw_)) return false;
        out.reserve(entry.count);
        for (std::size_t i = 0; i < entry.count; ++i)
            out.push_back(width == 2 ? read16(raw_.data() + 2 * i) : read32(raw_.data() + 4 * i));
        return true;
    }

    // Where the values of an entry lie when they do not fit in the entry itself.
    std::optional<std::uint64_t> valuesPosition(const Entry& entry) const {
        const std::uint64_t width = entry.type == typeShort ? 2 : 4;
        if (width * entry.count <= 4) return std::nullopt;
        return read32(entry.value);
    }

    // An ASCII value up to its first NUL.
    std::optional<std::string> text(const Entry& entry) {
        if (entry.type != typeAscii || entry.count > maxTextBytes || !bytes(entry, 1, raw_))
            return std::nullopt;
        const auto end = std::find(raw_.begin(), raw_.end(), std::uint8_t{0});
        return std::string(raw_.begin(), end);
    }

private:
    // Checked against the data and the budget before anything is allocated for them.
    bool bytes(const Entry& entry, std::size_t width, std::vector<std::uint8_t>& raw) {
        const std::size_t count = width * entry.count;
        if (count <= 4) {
            raw.assign(entry.value, entry.value + count);
            return true;
        }
        const std::uint64_t offset = read32(entry.value);
        if (!within(offset, count) || !charge(count)) return false;
        raw.resize(count);
        return source_.readAt(offset, raw.data(), count);
    }

    bool within(std::uint64_t offset, std::uint64_t count) const {
        return offset <= source_.size() && count <= source_.size() - offset;
    }

    bool charge(std::uint64_t bytes) {
        const std::uint64_t cost = bytes + costPerRead;
        if (cost > budget_) return false;
        budget_ -= cost;
        return true;
    }

    std::uint32_t read16(const std::uint8_t* p) const {
        return little_ ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]);
    }
    std::uint32_t read32(const std::uint8_t* p) const {
        return little_ ? (std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
                          (std::uint32_t{p[3]} << 24))
                       : ((std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                          (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]});
    }

    const Source& source_;
    std::uint64_t budget_;
    bool little_ = true;
    std::uint32_t magic_ = 0;
    std::uint64_t firstIfd_ = 0;
    std::size_t visited_ = 0;
    std::set<std::uint64_t> seen_;
    std::vector<std::uint8_t> raw_;
};

// The strips or the tiles of one IFD: where each begins, its length when stated, and where the
// table of beginnings lies when it is not inside the entry itself.
struct Parts {
    std::vector<std::uint64_t> offsets;
    std::vector<std::uint64_t> sizes;
    std::optional<std::uint64_t> offsetsTable;
    // Whether a decoder may read past their end (see DataEnd).
    bool mayBeReadPast = true;

    void clear() {
        offsets.clear();
        sizes.clear();
        offsetsTable.reset();
        mayBeReadPast = true;
    }
    // The data as one part that the structure locates by a tag of its maker's own.
    void setOnly(std::uint64_t offset, std::uint64_t size, bool readPast) {
        clear();
        offsets.push_back(offset);
        sizes.push_back(size);
        mayBeReadPast = readPast;
    }
    std::size_t stated() const { return std::min(offsets.size(), sizes.size()); }
    // Whether a position lies in one of the parts, or is that of the table of their beginnings.
    bool hold(std::uint64_t position) const {
        if (offsetsTable == position) return true;
        for (std::size_t i = 0; i < stated(); ++i) {
            if (position >= offsets[i] && position - offsets[i] < sizes[i]) return true;
        }
        return false;
    }
};

template <typename Source>
bool partsWithinSource(const Source& source, const Parts& parts) {
    // Parts without a stated length cannot be judged here; the decoder will.
    for (std::size_t i = 0; i < parts.stated(); ++i) {
        if (parts.offsets[i] > source.size() || parts.sizes[i] > source.size() - parts.offsets[i])
            return false;
    }
    return true;
}

// Panasonic's RAW data begin at RawDataOffset, whatever the strip tags say: its cameras state no
// strip there (an offset of 0xFFFFFFFF, a count of 0) or a count of the uncompressed size, past the
// end of the file. A count that fits in the file is the data's length; otherwise the data run in
// whole 16 KiB blocks to the end of the file, so that a file ending inside a block lacks the rest of
// it.
template <typename Source>
void locatePanasonicData(const Reader<Source>& reader, std::uint64_t offset, Parts& strips) {
    const std::uint64_t size = reader.size();
    const std::uint64_t left = size > offset ? size - offset : 0;
    std::uint64_t length =
        std::max<std::uint64_t>(1, (left + panasonicBlockBytes - 1) / panasonicBlockBytes) *
        panasonicBlockBytes;
    if (strips.sizes.size() == 1 && strips.sizes[0] > 0 && strips.sizes[0] <= left) length = strips.sizes[0];
    strips.setOnly(offset, length, false);
}

// Calls visit(strips, tiles) for every IFD through the IFD chain and sub-IFDs; an answer of false
// ends the walk. False when the structure cannot be walked or visit ended it. The data a maker
// locates by a tag of its own (Panasonic's RawDataOffset, the Sony DSLR-A100's data offset) are
// given as the IFD's strips, as LibRaw reads them.
template <typename Source, typename Visit>
bool walkParts(Reader<Source>& reader, Visit visit) {
    std::vector<std::uint64_t> pending{reader.firstIfd()};
    std::vector<Entry> entries;
    std::vector<std::uint64_t> values;
    Parts strips, tiles;
    std::string model; // the last one read, as LibRaw keeps it
    while (!pending.empty()) {
        const std::uint64_t offset = pending.back();
        pending.pop_back();
        std::uint64_t next = 0;
        if (!reader.readIfd(offset, entries, next)) return false;
        strips.clear(), tiles.clear();
        std::optional<std::uint64_t> width, panasonicData, sonyA100Data;
        for (const Entry& entry : entries) {
            bool ok = true;
            switch (entry.tag) {
            case tagImageWidth:
                if (reader.numbers(entry, values) && values.size() == 1) width = values[0];
                break;
            case tagModel:
                model = reader.text(entry).value_or("");
                break;
            case tagStripOffsets:
                ok = reader.numbers(entry, strips.offsets);
                strips.offsetsTable = reader.valuesPosition(entry);
                break;
            case tagStripByteCounts:
                ok = reader.numbers(entry, strips.sizes);
                break;
            case tagTileOffsets:
                ok = reader.numbers(entry, tiles.offsets);
                tiles.offsetsTable = reader.valuesPosition(entry);
                break;
            case tagTileByteCounts:
                ok = reader.numbers(entry, tiles.sizes);
                break;
            case tagPanasonicRawDataOffset:
                if (reader.panasonic() && entry.type == typeLong) {
                    ok = reader.numbers(entry, values) && !values.empty();
                    if (ok) panasonicData = values[0];
                }
                break;
            case tagSubIfds:
                // Never more IFDs waiting than a walk may visit.
                ok = reader.numbers(entry, values, static_cast<std::uint32_t>(maxIfds)) &&
                     pending.size() + values.size() <= maxIfds;
                if (ok && model == sonyA100Model && width == sonyA100IfdWidth && !values.empty()) {
                    sonyA100Data = values[0];
                } else if (ok) {
                    pending.insert(pending.end(), values.begin(), values.end());
                }
                break;
            default:
                break;
            }
            if (!ok) return false;
        }
        if (panasonicData) locatePanasonicData(reader, *panasonicData, strips);
        // A bit reader decodes the A100's data, up to the end of the file.
        if (sonyA100Data)
            strips.setOnly(*sonyA100Data, std::max(reader.size(), *sonyA100Data + 1) - *sonyA100Data, true);
        if (!visit(strips, tiles)) return false;
        if (next != 0) pending.push_back(next);
    }
    return true;
}

template <typename Source>
bool dataWithin(const Source& source) {
    Reader<Source> reader(source);
    if (!reader.open()) return true; // not ours to judge
    return walkParts(reader, [&](const Parts& strips, const Parts& tiles) {
        return partsWithinSource(source, strips) && partsWithinSource(source, tiles);
    });
}

template <typename Source>
ExifBasics basics(const Source& source) {
    ExifBasics basics;
    Reader<Source> reader(source);
    if (!reader.open()) return basics;
    std::vector<Entry> entries;
    std::vector<std::uint64_t> values;
    std::uint64_t next = 0;
    if (!reader.readIfd(reader.firstIfd(), entries, next)) return basics;
    std::optional<std::uint64_t> exifIfd;
    for (const Entry& entry : entries) {
        if (entry.tag == tagOrientation && entry.type == typeShort && entry.count >= 1 &&
            reader.numbers(entry, values))
            basics.orientation = static_cast<long>(values[0]);
        if (entry.tag == tagExifIfd && entry.count == 1 && reader.numbers(entry, values)) exifIfd = values[0];
    }
    if (exifIfd && reader.readIfd(*exifIfd, entries, next)) {
        for (const Entry& entry : entries)
            if (entry.tag == tagDateTimeOriginal) basics.dateTimeOriginal = reader.text(entry);
    }
    return basics;
}

} // namespace

bool isTiff(const RegularFile& file) {
    return Reader<RegularFile>(file).open();
}
bool dataLiesWithinFile(const RegularFile& file) {
    return dataWithin(file);
}
std::optional<DataEnd> dataEnd(const RegularFile& file, std::uint64_t position) {
    Reader<RegularFile> reader(file);
    if (!reader.open()) return std::nullopt;
    std::optional<DataEnd> end;
    walkParts(reader, [&](const Parts& strips, const Parts& tiles) {
        for (const Parts* parts : {&strips, &tiles}) {
            if (!parts->hold(position)) continue;
            // Every part must state its length, or the end is not told.
            if (!parts->offsets.empty() && parts->sizes.size() >= parts->offsets.size()) {
                end = DataEnd{0, parts->mayBeReadPast};
                for (std::size_t i = 0; i < parts->stated(); ++i)
                    end->position = std::max(end->position, parts->offsets[i] + parts->sizes[i]);
            }
            return false;
        }
        return true;
    });
    return end;
}
ExifBasics exifBasics(const RegularFile& file) {
    return basics(file);
}
ExifBasics exifBasics(const MemoryBytes& bytes) {
    return basics(bytes);
}

} // namespace sorvin::TiffStructure
