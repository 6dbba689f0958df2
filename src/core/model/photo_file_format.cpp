#include "model/photo_file_format.hpp"

#include <algorithm>
#include <string>

namespace sorvin {

namespace {

constexpr std::string_view kJpegExtensions[] = {"jpg", "jpeg"};
constexpr std::string_view kHeifExtensions[] = {"heic", "heif", "hif"};
constexpr std::string_view kRawExtensions[] = {"nef", "nrw", "cr3", "cr2", "arw", "srf",
                                               "sr2", "raf", "orf", "rw2", "pef", "dng"};

std::string asciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

std::string_view rawValue(PhotoFileFormat format) {
    switch (format) {
    case PhotoFileFormat::jpeg:
        return "jpeg";
    case PhotoFileFormat::heif:
        return "heif";
    case PhotoFileFormat::raw:
        return "raw";
    }
    return "jpeg";
}

std::optional<PhotoFileFormat> photoFileFormatFromRawValue(std::string_view text) {
    for (PhotoFileFormat format : kAllPhotoFileFormats) {
        if (rawValue(format) == text) return format;
    }
    return std::nullopt;
}

std::span<const std::string_view> photoFileFormatExtensions(PhotoFileFormat format) {
    switch (format) {
    case PhotoFileFormat::jpeg:
        return kJpegExtensions;
    case PhotoFileFormat::heif:
        return kHeifExtensions;
    case PhotoFileFormat::raw:
        return kRawExtensions;
    }
    return {};
}

std::optional<PhotoFileFormat> photoFileFormatFrom(const std::filesystem::path& file) {
    const std::string extension = file.extension().string();
    if (extension.size() < 2) return std::nullopt; // no extension, or a name ending in "."
    const std::string lower = asciiLower(std::string_view(extension).substr(1));
    for (PhotoFileFormat format : kAllPhotoFileFormats) {
        const auto extensions = photoFileFormatExtensions(format);
        if (std::find(extensions.begin(), extensions.end(), lower) != extensions.end()) return format;
    }
    return std::nullopt;
}

} // namespace sorvin
