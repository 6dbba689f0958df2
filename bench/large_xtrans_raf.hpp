#pragma once

// A full-size X-Trans RAF for the benchmarks, made at run time the way the constructed X-Trans
// sample was made (samples/SOURCES.md): the sample's own RAF header, Fuji directory and sensor
// TIFF, with the picture size changed and the sensor values of the sample spread over the larger
// sensor. Each pixel takes the value of the sample's pixel at the same place of the 6 × 6 pattern
// in the 6 × 6 block nearest to it, so every colour stays at its place in the pattern.
#include "sample_photos.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace sorvin::bench {

namespace detail {

inline std::uint32_t bigEndian(const std::string& bytes, std::size_t at, int length) {
    std::uint32_t value = 0;
    for (int i = 0; i < length; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
    return value;
}
inline void putBigEndian(std::string& bytes, std::size_t at, int length, std::uint32_t value) {
    for (int i = length - 1; i >= 0; --i, value >>= 8)
        bytes.at(at + i) = static_cast<char>(value & 0xFF);
}
inline std::uint32_t littleEndian(const std::string& bytes, std::size_t at, int length) {
    std::uint32_t value = 0;
    for (int i = length - 1; i >= 0; --i)
        value = value << 8 | static_cast<std::uint8_t>(bytes.at(at + i));
    return value;
}
inline void putLittleEndian(std::string& bytes, std::size_t at, int length, std::uint32_t value) {
    for (int i = 0; i < length; ++i, value >>= 8)
        bytes.at(at + i) = static_cast<char>(value & 0xFF);
}

} // namespace detail

// Writes an X-Trans RAF of width × height pixels to `file`; false when the sample
// is not as expected.
inline bool writeLargeXTransRaf(const std::filesystem::path& file, int width, int height) {
    using namespace detail;
    std::ifstream in(samplesDir() / "raw" / "constructed_fujifilm_xtrans_uncompressed.raf", std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < 108 || bytes.compare(0, 16, "FUJIFILMCCD-RAW ") != 0 || width < 6 || height < 6)
        return false;
    // The Fuji directory: a count, then tag, length and data; the picture size is height, width.
    std::size_t entry = bigEndian(bytes, 92, 4);
    const std::uint32_t count = bigEndian(bytes, entry, 4);
    entry += 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t tag = bigEndian(bytes, entry, 2);
        if (tag == 0x100 || tag == 0x121) {
            putBigEndian(bytes, entry + 4, 2, static_cast<std::uint32_t>(height));
            putBigEndian(bytes, entry + 6, 2, static_cast<std::uint32_t>(width));
        }
        entry += 4 + bigEndian(bytes, entry + 2, 2);
    }
    // The sensor TIFF (little-endian): IFD0 points through tag 0xF000 to the raw IFD.
    const std::size_t tiff = bigEndian(bytes, 100, 4);
    const auto findTag = [&](std::size_t ifd, std::uint32_t wanted) -> std::optional<std::size_t> {
        const std::uint32_t entries = littleEndian(bytes, tiff + ifd, 2);
        for (std::uint32_t i = 0; i < entries; ++i) {
            const std::size_t at = tiff + ifd + 2 + 12 * i;
            if (littleEndian(bytes, at, 2) == wanted) return at + 8;
        }
        return std::nullopt;
    };
    const auto rawIfd = findTag(littleEndian(bytes, tiff + 4, 4), 0xF000);
    if (!rawIfd) return false;
    const std::size_t ifd = littleEndian(bytes, *rawIfd, 4);
    const auto widthAt = findTag(ifd, 0xF001), heightAt = findTag(ifd, 0xF002);
    const auto offsetAt = findTag(ifd, 0xF007), sizeAt = findTag(ifd, 0xF008);
    if (!widthAt || !heightAt || !offsetAt || !sizeAt) return false;
    const int sampleWidth = static_cast<int>(littleEndian(bytes, *widthAt, 4));
    const int sampleHeight = static_cast<int>(littleEndian(bytes, *heightAt, 4));
    const std::size_t data = tiff + littleEndian(bytes, *offsetAt, 4);
    if (data + std::size_t{2} * sampleWidth * sampleHeight > bytes.size() || sampleWidth < 6 ||
        sampleHeight < 6)
        return false;
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(2ull * width * height);
    putLittleEndian(bytes, *widthAt, 4, static_cast<std::uint32_t>(width));
    putLittleEndian(bytes, *heightAt, 4, static_cast<std::uint32_t>(height));
    putLittleEndian(bytes, *sizeAt, 4, dataBytes);
    putBigEndian(bytes, 104, 4, static_cast<std::uint32_t>(data - tiff) + dataBytes);

    // The sample's place on the same spot of the pattern nearest to a place of the larger picture.
    const auto source = [](int at, int length, int sampleLength) {
        const int nearest = static_cast<int>(static_cast<long long>(at) * sampleLength / length);
        int s = nearest - nearest % 6 + at % 6;
        if (s >= sampleLength) s -= 6;
        return s;
    };
    std::vector<int> columns(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x)
        columns[static_cast<std::size_t>(x)] = source(x, width, sampleWidth);
    std::string sensor(dataBytes, '\0');
    for (int y = 0; y < height; ++y) {
        const std::size_t from = data + std::size_t{2} * sampleWidth * source(y, height, sampleHeight);
        char* to = sensor.data() + std::size_t{2} * width * y;
        for (int x = 0; x < width; ++x) {
            to[2 * x] = bytes[from + 2 * columns[static_cast<std::size_t>(x)]];
            to[2 * x + 1] = bytes[from + 2 * columns[static_cast<std::size_t>(x)] + 1];
        }
    }
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(data));
    out.write(sensor.data(), static_cast<std::streamsize>(sensor.size()));
    return static_cast<bool>(out);
}

// An X-Trans RAF of width × height in the temporary folder, made once per run and removed when the
// run ends; empty when it cannot be made.
inline std::filesystem::path largeXTransRaf(int width, int height) {
    struct Made {
        std::filesystem::path file;
        ~Made() {
            std::error_code ignored;
            if (!file.empty()) std::filesystem::remove(file, ignored);
        }
    };
    static std::map<std::pair<int, int>, Made> made;
    Made& entry = made[{width, height}];
    if (entry.file.empty()) {
        const auto file = std::filesystem::temp_directory_path() /
                          ("sorvin-xtrans-" + std::to_string(::getpid()) + "-" + std::to_string(width) + "x" +
                           std::to_string(height) + ".raf");
        if (writeLargeXTransRaf(file, width, height)) entry.file = file;
    }
    return entry.file;
}

} // namespace sorvin::bench
