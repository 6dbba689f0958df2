#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>

namespace sorvin {

// The names a running export has given files, folder by folder, compared the way each folder's
// disk compares names: a disk that ignores case (FAT, exFAT and NTFS, as USB sticks and cards
// come, and most network shares) takes a.jpg and A.jpg as one name. Two photos whose outputs meet
// in one name must both be kept, whatever the conflict mode.
class ExportWrittenNames {
public:
    // A file just given its name.
    void add(const std::filesystem::path& file);
    // Whether the export has given a file this name in its folder.
    bool contains(const std::filesystem::path& file) const;

    bool operator==(const ExportWrittenNames&) const = default;

    // Whether the folder's disk ignores the case of names: a file made there under a name in lower
    // case is looked for under the name in upper case. A folder that cannot be asked counts as
    // ignoring it: at worst a name gets a number it did not need.
    static bool ignoresCase(const std::filesystem::path& folder);
    // For tests: answers ignoresCase in place of the disk. An empty function ends it.
    static void setCaseProbeForTesting(std::function<bool(const std::filesystem::path&)> probe);

private:
    struct Folder {
        bool ignoresCase = false;
        std::set<std::string> names; // upper-cased where the folder ignores case

        bool operator==(const Folder&) const = default;
    };
    static std::string key(const Folder& folder, const std::string& name);

    std::map<std::filesystem::path, Folder> folders_;
};

} // namespace sorvin
