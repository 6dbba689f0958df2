#pragma once

#include "model/photo_rotation.hpp"
#include "platform/image.hpp"

#include <optional>

namespace sorvin {

// The long-edge limit of an export: whole pixels, usable from 256 to 16384.
struct ExportLongEdge {
    static constexpr int kMinimum = 256;
    static constexpr int kMaximum = 16384;

    static int clampedLimit(int limit);
    static std::optional<int> clampedLimit(std::optional<int> limit);

    // The size reduced so that its long side is the limit (never enlarged); the short side rounded
    // half away from zero and never below 1. Sides below 1 count as 1.
    static PixelSize outputSize(int width, int height, int maximumLongEdge);

    // The image reduced to outputSize (Lanczos); the same image with no limit or nothing to reduce;
    // none when the bitmap cannot be made.
    static SharedImage resizedImage(const SharedImage& image, std::optional<int> maximumLongEdge);
};

} // namespace sorvin
