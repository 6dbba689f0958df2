#include "shell/source_badge_presentation.hpp"

#include "platform/unicode_text.hpp"

namespace sorvin {

namespace {

// A leading dot names a hidden file, not an extension (".profile" has none), as URLs read it.
std::size_t extensionDot(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return std::string::npos;
    return dot;
}

} // namespace

std::string FileNameParts::extension(const std::filesystem::path& url) {
    const std::string name = url.filename().string();
    const std::size_t dot = extensionDot(name);
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string FileNameParts::baseName(const std::filesystem::path& url) {
    const std::string name = url.filename().string();
    const std::size_t dot = extensionDot(name);
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FileNameParts::badgeText(const std::filesystem::path& url) {
    return UnicodeText::uppercased(extension(url));
}

std::optional<PhotoAreaSourceBadgePresentation> PhotoAreaSourceBadgePresentation::make(const Photo& photo,
                                                                                       PhotoSource source) {
    if (!photo.rawCompanionURL) return std::nullopt;
    return PhotoAreaSourceBadgePresentation{FileNameParts::badgeText(photo.asset(source).url),
                                            source == PhotoSource::raw
                                                ? PhotoAreaSourceBadgeVisualState::raw
                                                : PhotoAreaSourceBadgeVisualState::jpeg};
}

std::optional<FileListSourcePresentation> FileListSourcePresentation::make(const Photo& photo) {
    if (!photo.rawCompanionURL) return std::nullopt;
    return FileListSourcePresentation{FileNameParts::baseName(photo.url),
                                      FileNameParts::badgeText(photo.asset(PhotoSource::jpeg).url),
                                      FileNameParts::badgeText(photo.asset(PhotoSource::raw).url)};
}

std::string FileListLayout::retouchDuplicateFileName(const Photo& photo) {
    const std::string ext = FileNameParts::extension(photo.url);
    std::string name = FileNameParts::baseName(photo.url);
    name += "-B";
    if (!ext.empty()) {
        name += '.';
        name += ext;
    }
    return name;
}

} // namespace sorvin
