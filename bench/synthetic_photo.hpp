#pragma once

#include "platform/image.hpp"
#include "platform/jpeg_encoder.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace sorvin::bench {

inline constexpr int kPhotoWidth = 6000;
inline constexpr int kPhotoHeight = 4000;

// A 24-megapixel bitmap of varied bytes, made once per program.
inline SharedImage syntheticPhoto() {
    static const SharedImage image = [] {
        PixelBuffer buffer(kPhotoWidth, kPhotoHeight);
        for (std::size_t i = 0; i < buffer.byteCount(); ++i)
            buffer.data()[i] = static_cast<std::uint8_t>(i * 31);
        return makeImage(std::move(buffer));
    }();
    return image;
}

// Smooth gradients with noise of the amplitude given, so encoders and decoders see a photo-like
// amount of detail.
inline SharedImage gradientPhoto(int width, int height, int noiseAmplitude, unsigned seed) {
    PixelBuffer buffer(width, height);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-noiseAmplitude, noiseAmplitude);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = buffer.row(y);
        for (int x = 0; x < width; ++x) {
            row[4 * x] = static_cast<std::uint8_t>(std::clamp(255 * x / width + noise(random), 0, 255));
            row[4 * x + 1] = static_cast<std::uint8_t>(std::clamp(255 * y / height + noise(random), 0, 255));
            row[4 * x + 2] = static_cast<std::uint8_t>(std::clamp(128 + noise(random), 0, 255));
            row[4 * x + 3] = 255;
        }
    }
    return makeImage(std::move(buffer));
}

// A 24 MP JPEG (6000 x 4000) of such a photo, written once per program and removed when it ends.
inline const std::filesystem::path& syntheticJpegFile() {
    struct File {
        std::filesystem::path path;
        ~File() { std::filesystem::remove(path); }
    };
    static const File file{[] {
        const auto bytes = JpegEncoder::encode(*gradientPhoto(kPhotoWidth, kPhotoHeight, 10, 3), 90, {}, {});
        auto path =
            std::filesystem::temp_directory_path() / ("sorvin-bench-" + std::to_string(::getpid()) + ".jpg");
        std::ofstream(path, std::ios::binary)
            .write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        return path;
    }()};
    return file.path;
}

} // namespace sorvin::bench
