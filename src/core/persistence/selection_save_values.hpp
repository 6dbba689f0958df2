#pragma once

#include "library/photo_library.hpp"

#include <optional>
#include <string>

namespace sorvin {

// What a save of a folder's record takes from the library: its edit tables and the current
// photo, copied on the main thread so that the record is built and written on another. The
// tables share their entries with the library's until it changes them, so the copy is cheap.
struct SelectionSaveValues {
    std::optional<std::string> cursor;
    SharedPathSet hearts;
    SharedPathMap<double> rotations;
    SharedPathMap<ManualCrop> crops;
    SharedPathMap<PhotoParameters> parameters;
    SharedPathMap<PhotoParameters> parametersRaw;
    SharedPathMap<PhotoSource> sources;
    SharedPathMap<RetouchState> retouchesB;

    static SelectionSaveValues of(const PhotoLibrary& library) {
        const Photo* photo = library.currentPhoto();
        return {photo ? std::optional(photo->relativePath) : std::nullopt,
                library.hearts(),
                library.rotations(),
                library.crops(),
                library.parameters(),
                library.parametersRaw(),
                library.sources(),
                library.retouchesB()};
    }
};

} // namespace sorvin
