#include "model/orientation_transform.hpp"

#include <gtest/gtest.h>
#include <string>

namespace sorvin {
namespace {

// A 3 x 2 picture whose pixels are the letters
//   A B C
//   D E F
// in the red byte, with the other bytes derived from it so every byte is checked.
SharedImage letters() {
    PixelBuffer buffer(3, 2);
    const std::string text = "ABCDEF";
    for (int i = 0; i < 6; ++i) {
        std::uint8_t* p = buffer.data() + i * 4;
        p[0] = static_cast<std::uint8_t>(text[i]);
        p[1] = static_cast<std::uint8_t>(text[i] + 10);
        p[2] = static_cast<std::uint8_t>(text[i] + 20);
        p[3] = static_cast<std::uint8_t>(200 + i);
    }
    return makeImage(std::move(buffer));
}

// The picture read back row by row, rows separated by "/".
std::string read(const Image& image) {
    std::string text;
    for (int y = 0; y < image.height(); ++y) {
        if (y > 0) text += '/';
        for (int x = 0; x < image.width(); ++x) {
            const std::uint8_t* p = image.row(y) + x * 4;
            const int index = p[0] - 'A';
            const bool consistent = p[1] == p[0] + 10 && p[2] == p[0] + 20 && p[3] == 200 + index;
            text += consistent ? static_cast<char>(p[0]) : '?';
        }
    }
    return text;
}

TEST(OrientationTransform, EachOrientationGivesTheUprightPixels) {
    const std::vector<std::pair<int, std::string>> cases{
        {2, "CBA/FED"},  // mirrored left to right
        {3, "FED/CBA"},  // turned 180 degrees
        {4, "DEF/ABC"},  // mirrored top to bottom
        {5, "AD/BE/CF"}, // mirrored about the main diagonal
        {6, "DA/EB/FC"}, // turned 90 degrees clockwise: the top row becomes the right column
        {7, "FC/EB/DA"}, // mirrored about the other diagonal
        {8, "CF/BE/AD"}, // turned 90 degrees counter-clockwise
    };
    const SharedImage image = letters();
    ASSERT_EQ(read(*image), "ABC/DEF");
    for (const auto& [orientation, expected] : cases) {
        const SharedImage upright = OrientationTransform::transformedImage(image, orientation);
        ASSERT_TRUE(upright) << orientation;
        EXPECT_EQ(read(*upright), expected) << "orientation " << orientation;
    }
}

TEST(OrientationTransform, OtherOrientationsReturnTheSameImage) {
    const SharedImage image = letters();
    for (int orientation : {1, 0, 9, -1})
        EXPECT_EQ(OrientationTransform::transformedImage(image, orientation), image);
    EXPECT_EQ(OrientationTransform::transformedImage(nullptr, 6), nullptr);
}

TEST(OrientationTransform, LargeImagesAcrossTileBordersInvertExactly) {
    // Sides that are not multiples of any tile size, with every pixel distinct.
    PixelBuffer buffer(131, 67);
    for (std::size_t i = 0; i < buffer.byteCount(); ++i)
        buffer.data()[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    const SharedImage image = makeImage(std::move(buffer));
    const std::vector<std::pair<int, int>> inverses{{2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 8}, {8, 6}, {7, 7}};
    for (const auto& [there, back] : inverses) {
        const SharedImage turned = OrientationTransform::transformedImage(image, there);
        const SharedImage restored = OrientationTransform::transformedImage(turned, back);
        ASSERT_TRUE(restored);
        ASSERT_EQ(restored->width(), 131);
        EXPECT_TRUE(std::equal(image->data(), image->data() + image->byteCount(), restored->data())) << there;
    }
    // Stored 131 x 67 with orientation 6 is upright 67 x 131; the stored top row is the right column.
    const SharedImage upright = OrientationTransform::transformedImage(image, 6);
    EXPECT_EQ(upright->width(), 67);
    for (int c = 0; c < 131; ++c) {
        EXPECT_TRUE(std::equal(image->row(0) + c * 4, image->row(0) + c * 4 + 4, upright->row(c) + 66 * 4));
    }
}

} // namespace
} // namespace sorvin
