#include "loading/image_clipboard_payload.hpp"

#include "platform/image_encoders.hpp"

namespace sorvin {

ImageClipboardPayload ImageClipboardPayload::make(const Image& image) {
    ImageClipboardPayload payload;
    payload.png = ImageEncoders::png(image);
    payload.tiff = ImageEncoders::tiff(image);
    return payload;
}

bool ImageClipboardPayload::write(Pasteboard& pasteboard) const {
    PasteboardItem item;
    if (!item.setData(PasteboardType::png, png)) return false;
    if (!item.setData(PasteboardType::tiff, tiff)) return false;
    pasteboard.clearContents();
    return pasteboard.writeItems({std::move(item)});
}

} // namespace sorvin
