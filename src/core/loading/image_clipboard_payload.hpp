#pragma once

#include "platform/image.hpp"
#include "platform/pasteboard.hpp"

#include <cstdint>
#include <vector>

namespace sorvin {

// The copied photo as the clipboard gets it: the same image encoded as PNG and as TIFF, both
// complete files, offered as one clipboard item. Encoding happens where the image was rendered
// (any thread); writing happens on the main thread.
struct ImageClipboardPayload {
    std::vector<std::uint8_t> png;
    std::vector<std::uint8_t> tiff;

    // Encodes PNG first, then TIFF; throws ImageEncodingError at the first failure (so no TIFF is
    // attempted when the PNG fails).
    static ImageClipboardPayload make(const Image& image);

    // Builds the one item with both types and only then replaces the clipboard's contents, so a
    // refused item leaves the previous contents in place. True when the clipboard took the item.
    bool write(Pasteboard& pasteboard) const;
};

} // namespace sorvin
