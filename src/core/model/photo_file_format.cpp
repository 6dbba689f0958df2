#include "model/photo_file_format.hpp"

#include <algorithm>

namespace sorvin {

namespace {

constexpr std::string_view kJpegExtensions[] = {"jpg", "jpeg"};
constexpr std::string_view kHeifExtensions[] = {"heic", "heif", "hif"};
constexpr std::string_view kRawExtensions[] = {"nef", "nrw", "cr3", "cr2", "arw", "srf",
                                               "sr2", "raf", "orf", "rw2", "pef", "dng"};

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

std::optional<PhotoFileFormat> photoFileFormatFromName(std::string_view name) {
    // The extension as a path gives it: after the last dot, unless that dot begins the name.
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return std::nullopt;
    const std::string_view extension = name.substr(dot + 1);
    const auto same = [&](std::string_view known) {
        return known.size() == extension.size() &&
               std::equal(known.begin(), known.end(), extension.begin(), [](char k, char c) {
                   return k == (c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
               });
    };
    for (PhotoFileFormat format : kAllPhotoFileFormats) {
        const auto extensions = photoFileFormatExtensions(format);
        if (std::any_of(extensions.begin(), extensions.end(), same)) return format;
    }
    return std::nullopt;
}

std::optional<PhotoFileFormat> photoFileFormatFrom(const std::filesystem::path& file) {
    return photoFileFormatFromName(file.filename().native());
}

} // namespace sorvin
