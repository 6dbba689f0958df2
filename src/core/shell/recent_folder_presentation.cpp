#include "shell/recent_folder_presentation.hpp"

#include <fmt/format.h>

namespace sorvin {

namespace {

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

std::string abbreviatingHome(std::string_view path, std::string_view home) {
    home = withoutTrailingSlashes(home);
    if (home.empty() || home == "/") return std::string(path);
    if (path == home) return "~";
    if (path.size() > home.size() && path.starts_with(home) && path[home.size()] == '/')
        return fmt::format("~{}", path.substr(home.size()));
    return std::string(path);
}

} // namespace

RecentFolderPresentation RecentFolderPresentation::make(std::string_view path, std::string_view homeFolder) {
    path = withoutTrailingSlashes(path);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {std::string(path), ""};
    const std::string_view name = path == "/" ? path : path.substr(slash + 1);
    const std::string_view parent = slash == 0 ? std::string_view("/") : path.substr(0, slash);
    if (path == "/") return {"/", ""};
    return {std::string(name), abbreviatingHome(parent, homeFolder)};
}

} // namespace sorvin
