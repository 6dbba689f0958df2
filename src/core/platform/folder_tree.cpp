#include "platform/folder_tree.hpp"

#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvin::FolderTree {

namespace fs = std::filesystem;

std::optional<fs::path> find(const fs::path& root, const FolderTest& test) {
    std::deque<fs::path> pending{root};
    std::set<FileNode> seen;
    for (bool first = true; !pending.empty(); first = false) {
        const fs::path folder = std::move(pending.front());
        pending.pop_front();
        // The root may be reached through a link; the folders below it are not.
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (first ? 0 : O_NOFOLLOW));
        if (fd < 0) continue;
        DIR* listing = ::fdopendir(fd);
        if (!listing) {
            ::close(fd);
            continue;
        }
        struct stat info {};
        const bool known = ::fstat(fd, &info) == 0;
        const FileNode node{info.st_dev, info.st_ino};
        if (!known || !seen.insert(node).second) {
            ::closedir(listing);
            continue;
        }
        if (test(folder, node)) {
            ::closedir(listing);
            return folder;
        }
        while (const dirent* entry = ::readdir(listing)) {
            const std::string_view name(entry->d_name);
            if (name == "." || name == "..") continue;
            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat child {};
                isFolder = ::fstatat(fd, entry->d_name, &child, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(child.st_mode);
            }
            if (isFolder) pending.push_back(folder / entry->d_name);
        }
        ::closedir(listing);
    }
    return std::nullopt;
}

} // namespace sorvin::FolderTree
