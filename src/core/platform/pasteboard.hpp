#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sorvin {

// The data types the program puts on the system clipboard.
enum class PasteboardType { png, tiff, plainText };

// One clipboard entry holding the same content in several types, so the receiving application
// takes the type it prefers. An item refuses empty data and a second value for a type.
class PasteboardItem {
public:
    bool setData(PasteboardType type, std::vector<std::uint8_t> data);
    const std::map<PasteboardType, std::vector<std::uint8_t>>& data() const { return data_; }

private:
    std::map<PasteboardType, std::vector<std::uint8_t>> data_;
};

// The system clipboard, implemented by the UI; main thread only.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;
    virtual void clearContents() = 0;
    // True when the clipboard accepted the items.
    virtual bool writeItems(const std::vector<PasteboardItem>& items) = 0;
};

} // namespace sorvin
