#pragma once

#include "library/photo_library.hpp"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace sorvin::test {

// A photo of a library under test: dated `day` days into 2024 unless undated, 6000 x 4000.
inline Photo libraryPhoto(const std::string& path, std::optional<int> day = 0, bool withRaw = false) {
    Photo photo;
    photo.url = "/photos/" + path;
    photo.relativePath = path;
    if (day) photo.captureDate = CaptureDate{} + std::chrono::hours(24 * (19723 + *day));
    photo.pixelWidth = 6000;
    photo.pixelHeight = 4000;
    photo.fileFormat = photoFileFormatFrom(photo.url).value_or(PhotoFileFormat::jpeg);
    if (withRaw) {
        const std::string rawPath = path.substr(0, path.rfind('.')) + ".NEF";
        photo.rawCompanionURL = "/photos/" + rawPath;
        photo.rawCompanionRelativePath = rawPath;
    }
    return photo;
}

inline std::unique_ptr<PhotoLibrary> makeLibrary(std::vector<Photo> photos,
                                                 PhotoLibraryRestoration restored = {}) {
    return std::make_unique<PhotoLibrary>(std::move(photos), std::move(restored), PhotoSortKey::date, true);
}

inline PhotoParameters withValue(PhotoParameter p, int value, PhotoParameters set = {}) {
    set.setValue(value, p);
    return set;
}

} // namespace sorvin::test
