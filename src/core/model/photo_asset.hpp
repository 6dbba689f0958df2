#pragma once

#include "model/photo_file_format.hpp"
#include "platform/hash_combine.hpp"

#include <filesystem>
#include <string>

namespace sorvin {

// One decodable file of a photo, as handed to the decoders, the EXIF reader and the exporter.
struct PhotoAsset {
    std::filesystem::path url;
    std::string relativePath;
    int orientation = 1; // EXIF 1-8
    int pixelWidth = 0;
    int pixelHeight = 0;
    PhotoFileFormat fileFormat = PhotoFileFormat::jpeg;

    bool operator==(const PhotoAsset&) const = default;
};

} // namespace sorvin

template <>
struct std::hash<sorvin::PhotoAsset> {
    std::size_t operator()(const sorvin::PhotoAsset& asset) const noexcept {
        std::size_t seed = std::filesystem::hash_value(asset.url);
        sorvin::hashCombine(seed, asset.relativePath);
        sorvin::hashCombine(seed, asset.orientation);
        sorvin::hashCombine(seed, asset.pixelWidth);
        sorvin::hashCombine(seed, asset.pixelHeight);
        sorvin::hashCombine(seed, sorvin::rawValue(asset.fileFormat));
        return seed;
    }
};
