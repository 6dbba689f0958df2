#include "export/export_format_options.hpp"

namespace sorvin {

std::vector<ExportImageFormat> ExportFormatOptions::outputFormats(const Photo& photo) const {
    if (mode == ExportFormatMode::specify) {
        std::vector<ExportImageFormat> formats;
        if (jpeg) formats.push_back(ExportImageFormat::jpeg);
        if (heif) formats.push_back(ExportImageFormat::heif);
        return formats;
    }
    if (photo.fileFormat == PhotoFileFormat::heif) return {ExportImageFormat::heif};
    return {ExportImageFormat::jpeg};
}

std::set<ExportImageFormat> ExportFormatOptions::requiredFormats(const std::vector<Photo>& photos) const {
    std::set<ExportImageFormat> formats;
    for (const auto& photo : photos)
        for (const auto format : outputFormats(photo))
            formats.insert(format);
    return formats;
}

std::filesystem::path ExportFormatOptions::folder(ExportImageFormat format,
                                                  const std::filesystem::path& destination) const {
    if (!usesFormatFolders()) return destination;
    return destination / std::string(traitsOf(format).folderName);
}

} // namespace sorvin
