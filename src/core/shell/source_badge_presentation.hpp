#pragma once

#include "model/photo.hpp"
#include "model/photo_source.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace sorvin {

// A file-list badge is selected when its file is the one in use for the row.
enum class SourceBadgeVisualState : std::uint8_t { selected, unselected };

// Which of the two files of a pair the photo area shows.
enum class PhotoAreaSourceBadgeVisualState : std::uint8_t { jpeg, raw };

// The badge in the corner of the photo area. Only a photo with a RAW companion has one.
struct PhotoAreaSourceBadgePresentation {
    std::string text; // upper-cased extension of the file in use ("CR3", "JPG")
    PhotoAreaSourceBadgeVisualState visualState = PhotoAreaSourceBadgeVisualState::jpeg;

    bool operator==(const PhotoAreaSourceBadgePresentation&) const = default;

    static std::optional<PhotoAreaSourceBadgePresentation> make(const Photo& photo, PhotoSource source);
};

// The name and the two badges of a paired photo's rows in the file list.
struct FileListSourcePresentation {
    std::string baseName; // main file name without its extension
    std::string jpegText; // upper-cased extension of the JPEG or HEIF file
    std::string rawText;  // upper-cased extension of the RAW companion

    bool operator==(const FileListSourcePresentation&) const = default;

    static std::optional<FileListSourcePresentation> make(const Photo& photo);
};

struct FileListLayout {
    // The name of a photo's copy B: "IMG_0001-B.JPG" (the main file's name, its extension's case
    // kept), "NAME-B" for a name without extension.
    static std::string retouchDuplicateFileName(const Photo& photo);
};

// Pieces of a file name as the badges use them: the text after the last "." (empty without one),
// and the name without that part.
struct FileNameParts {
    static std::string extension(const std::filesystem::path& url);
    static std::string baseName(const std::filesystem::path& url);
    static std::string badgeText(const std::filesystem::path& url);
};

} // namespace sorvin
