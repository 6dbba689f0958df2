#include "loading/image_clipboard_payload.hpp"
#include "platform/image_encoders.hpp"

#include <gtest/gtest.h>

namespace sorvin {
namespace {

class RecordingPasteboard : public Pasteboard {
public:
    std::vector<std::string> calls;
    std::vector<PasteboardItem> items{PasteboardItem()};
    bool accepts = true;

    void clearContents() override {
        calls.push_back("clear");
        items.clear();
    }
    bool writeItems(const std::vector<PasteboardItem>& written) override {
        calls.push_back("write");
        if (accepts) items = written;
        return accepts;
    }
};

Image grey(int width, int height) {
    PixelBuffer buffer(width, height);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = (i % 4 == 3) ? 255 : 128;
    return Image(std::move(buffer));
}

TEST(ImageClipboardPayloadTest, OneItemWithExactlyPngAndTiff) {
    const ImageClipboardPayload payload = ImageClipboardPayload::make(grey(64, 48));
    ASSERT_GT(payload.png.size(), 8u);
    EXPECT_EQ(payload.png[1], 'P');
    EXPECT_EQ(payload.tiff[0], 'I'); // little-endian TIFF
    RecordingPasteboard pasteboard;
    EXPECT_TRUE(payload.write(pasteboard));
    EXPECT_EQ(pasteboard.calls, (std::vector<std::string>{"clear", "write"}));
    ASSERT_EQ(pasteboard.items.size(), 1u);
    const auto& data = pasteboard.items[0].data();
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data.at(PasteboardType::png), payload.png);
    EXPECT_EQ(data.at(PasteboardType::tiff), payload.tiff);
}

TEST(ImageClipboardPayloadTest, ARefusedItemLeavesTheClipboardAlone) {
    ImageClipboardPayload payload = ImageClipboardPayload::make(grey(2, 2));
    payload.tiff.clear();
    RecordingPasteboard pasteboard;
    EXPECT_FALSE(payload.write(pasteboard));
    EXPECT_TRUE(pasteboard.calls.empty());
    EXPECT_EQ(pasteboard.items.size(), 1u);
}

TEST(ImageClipboardPayloadTest, ARefusedWriteIsReported) {
    RecordingPasteboard pasteboard;
    pasteboard.accepts = false;
    EXPECT_FALSE(ImageClipboardPayload::make(grey(3, 3)).write(pasteboard));
    EXPECT_EQ(pasteboard.calls, (std::vector<std::string>{"clear", "write"}));
}

// libpng takes no row longer than a million pixels; its refusal comes back as our error, with
// nothing printed and nothing held.
TEST(ImageClipboardPayloadTest, AnImageThePngEncoderRefusesIsAnError) {
    EXPECT_THROW(ImageClipboardPayload::make(grey(1'000'001, 1)), ImageEncodingError);
}

TEST(PasteboardItemTest, RefusesEmptyDataAndASecondValueOfAType) {
    PasteboardItem item;
    EXPECT_FALSE(item.setData(PasteboardType::png, {}));
    EXPECT_TRUE(item.setData(PasteboardType::png, {1}));
    EXPECT_FALSE(item.setData(PasteboardType::png, {2}));
    EXPECT_EQ(item.data().at(PasteboardType::png), std::vector<std::uint8_t>{1});
}

} // namespace
} // namespace sorvin
