#include "export/single_export_file_name.hpp"

#include <algorithm>
#include <array>
#include <cctype>

namespace sorvin::SingleExportFileName {

std::string initialName(const Photo& photo, SingleExportFormat format, RetouchSlot slot) {
    std::string name = photo.url.stem().string();
    if (slot == RetouchSlot::b) name += "-B";
    name += '.';
    name += fileExtension(format);
    return name;
}

std::filesystem::path appendingExtensionIfNeeded(const std::filesystem::path& file,
                                                 SingleExportFormat format) {
    const std::string extension = file.extension().string();
    if (extension.size() > 1) return file;
    std::filesystem::path result = file;
    // A name that ends in "." keeps the dot as its separator.
    if (extension == ".") {
        result += std::string(fileExtension(format));
    } else {
        result += '.';
        result += std::string(fileExtension(format));
    }
    return result;
}

std::string replacingExportExtension(const std::string& name, SingleExportFormat format) {
    static constexpr std::array<std::string_view, 5> kSuffixes{".jpeg", ".heic", ".heif", ".jpg", ".hif"};
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::string base = name;
    for (const auto suffix : kSuffixes) {
        if (lower.size() >= suffix.size() &&
            lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0) {
            base.resize(name.size() - suffix.size());
            break;
        }
    }
    return base + "." + std::string(fileExtension(format));
}

} // namespace sorvin::SingleExportFileName
