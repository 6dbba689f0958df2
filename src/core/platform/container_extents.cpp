#include "platform/container_extents.hpp"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace sorvin::ContainerExtents {

namespace {

std::uint64_t bigEndian(const std::uint8_t* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | p[i];
    return value;
}

class TiffWalker {
public:
    explicit TiffWalker(const RegularFile& file) : file_(file) {}

    bool run() {
        std::uint8_t header[8];
        if (file_.size() < 8 || !file_.readAt(0, header, 8)) return true;
        if (header[0] == 'I' && header[1] == 'I') {
            little_ = true;
        } else if (header[0] == 'M' && header[1] == 'M') {
            little_ = false;
        } else {
            return true; // not TIFF-structured
        }
        // The TIFF magic, or the variants of Olympus (ORF) and Panasonic (RW2) files.
        const std::uint32_t magic = read16(header + 2);
        if (magic != 42 && magic != 0x4F52 && magic != 0x5352 && magic != 0x55) return true;
        pending_.push_back(read32(header + 4));
        // Bounded work whatever the file claims: a few hundred IFDs are far beyond any camera.
        for (int visited = 0; !pending_.empty(); ++visited) {
            if (visited >= maxIfds) return false;
            const std::uint64_t offset = pending_.back();
            pending_.pop_back();
            if (!seen_.insert(offset).second) return false; // a loop
            if (!walkIfd(offset)) return false;
        }
        return true;
    }

private:
    static constexpr int maxIfds = 256;
    static constexpr std::uint32_t maxEntries = 4096;
    static constexpr std::uint32_t maxParts = 1u << 20;

    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count;
        std::uint8_t value[4];
    };

    std::uint32_t read16(const std::uint8_t* p) const {
        return little_ ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]);
    }
    std::uint32_t read32(const std::uint8_t* p) const {
        return little_ ? (std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
                          (std::uint32_t{p[3]} << 24))
                       : static_cast<std::uint32_t>(bigEndian(p, 4));
    }

    // The values of a SHORT or LONG array entry; false when it points outside the file.
    bool values(const Entry& entry, std::vector<std::uint64_t>& out) const {
        out.clear();
        const std::size_t width = entry.type == 3 ? 2 : entry.type == 4 || entry.type == 13 ? 4 : 0;
        if (width == 0 || entry.count > maxParts) return false;
        const std::size_t bytes = width * entry.count;
        std::vector<std::uint8_t> raw(bytes);
        if (bytes <= 4) {
            std::memcpy(raw.data(), entry.value, bytes);
        } else {
            const std::uint64_t at = read32(entry.value);
            if (at > file_.size() || bytes > file_.size() - at || !file_.readAt(at, raw.data(), bytes))
                return false;
        }
        for (std::size_t i = 0; i < entry.count; ++i)
            out.push_back(width == 2 ? read16(raw.data() + 2 * i) : read32(raw.data() + 4 * i));
        return true;
    }

    bool walkIfd(std::uint64_t offset) {
        std::uint8_t countBytes[2];
        if (offset < 8 || offset > file_.size() - 2 || !file_.readAt(offset, countBytes, 2)) return false;
        const std::uint32_t count = read16(countBytes);
        if (count > maxEntries) return false;
        std::vector<std::uint8_t> table(count * 12u + 4u);
        if (!file_.readAt(offset + 2, table.data(), table.size())) return false;

        std::vector<std::uint64_t> offsets, sizes, values;
        bool tiled = false;
        std::vector<std::uint64_t> tileOffsets, tileSizes;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint8_t* p = table.data() + 12 * i;
            Entry entry{static_cast<std::uint16_t>(read16(p)),
                        static_cast<std::uint16_t>(read16(p + 2)),
                        read32(p + 4),
                        {}};
            std::memcpy(entry.value, p + 8, 4);
            switch (entry.tag) {
            case 0x0111:
                if (!this->values(entry, offsets)) return false;
                break; // StripOffsets
            case 0x0117:
                if (!this->values(entry, sizes)) return false;
                break; // StripByteCounts
            case 0x0144:
                tiled = true;
                if (!this->values(entry, tileOffsets)) return false;
                break; // TileOffsets
            case 0x0145:
                if (!this->values(entry, tileSizes)) return false;
                break;   // TileByteCounts
            case 0x014A: // SubIFDs
                if (!this->values(entry, values)) return false;
                pending_.insert(pending_.end(), values.begin(), values.end());
                break;
            default:
                break;
            }
        }
        if (!partsWithinFile(offsets, sizes)) return false;
        if (tiled && !partsWithinFile(tileOffsets, tileSizes)) return false;
        const std::uint32_t next = read32(table.data() + 12 * count);
        if (next != 0) pending_.push_back(next);
        return true;
    }

    bool partsWithinFile(const std::vector<std::uint64_t>& offsets,
                         const std::vector<std::uint64_t>& sizes) const {
        // Parts without a stated length cannot be judged here; the decoder will.
        const std::size_t parts = std::min(offsets.size(), sizes.size());
        for (std::size_t i = 0; i < parts; ++i) {
            if (offsets[i] > file_.size() || sizes[i] > file_.size() - offsets[i]) return false;
        }
        return true;
    }

    const RegularFile& file_;
    bool little_ = true;
    std::vector<std::uint64_t> pending_;
    std::set<std::uint64_t> seen_;
};

} // namespace

bool boxesLieWithinFile(const RegularFile& file) {
    std::uint64_t offset = 0;
    bool first = true;
    while (offset < file.size()) {
        std::uint8_t header[16];
        if (file.size() - offset < 8 || !file.readAt(offset, header, 8)) return false;
        std::uint64_t size = bigEndian(header, 4);
        std::uint64_t headerSize = 8;
        if (first && std::memcmp(header + 4, "ftyp", 4) != 0) return false;
        first = false;
        if (size == 1) {
            if (file.size() - offset < 16 || !file.readAt(offset + 8, header + 8, 8)) return false;
            size = bigEndian(header + 8, 8);
            headerSize = 16;
        } else if (size == 0) {
            return true; // the last box runs to the end of the file
        }
        if (size < headerSize || size > file.size() - offset) return false;
        offset += size;
    }
    return !first;
}

bool tiffDataLiesWithinFile(const RegularFile& file) {
    return TiffWalker(file).run();
}

} // namespace sorvin::ContainerExtents
