#pragma once

#include <string>
#include <string_view>

namespace sorvin {

// One row of the home screen's recent folders: the folder's own name and where it lies, with the
// user's home folder written "~".
struct RecentFolderPresentation {
    std::string name;
    std::string location;

    static RecentFolderPresentation make(std::string_view path, std::string_view homeFolder);

    friend bool operator==(const RecentFolderPresentation&, const RecentFolderPresentation&) = default;
};

} // namespace sorvin
