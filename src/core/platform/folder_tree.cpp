#include "platform/folder_tree.hpp"

#include <dirent.h>
#include <set>
#include <string>

namespace sorvin::FolderTree {

namespace fs = std::filesystem;

namespace {

// Deeper than any path a user keeps photos or exports in.
constexpr std::size_t kMostNames = 32;

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing) return names;
    while (const dirent* entry = ::readdir(listing))
        names.insert(entry->d_name);
    ::closedir(listing);
    return names;
}

} // namespace

std::optional<fs::path> findShown(const std::vector<fs::path>& places, const fs::path& folder, const FolderTest& test) {
    // The names of the folder's path, last first.
    std::vector<fs::path> names;
    for (const auto& name : folder.lexically_normal().relative_path())
        if (!name.empty()) names.push_back(name);
    if (names.size() > kMostNames) names.erase(names.begin(), names.end() - kMostNames);
    for (const auto& place : places) {
        if (test(place)) return place;
        const auto held = namesIn(place);
        for (std::size_t first = names.size(); first-- > 0;) {
            if (!held.contains(names[first].string())) continue;
            fs::path shown = place;
            for (std::size_t at = first; at < names.size(); ++at)
                shown /= names[at];
            if (test(shown)) return shown;
        }
    }
    return std::nullopt;
}

} // namespace sorvin::FolderTree
