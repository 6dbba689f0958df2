#pragma once

#include "export/export_manifest.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sorvin {

// The names exports have given files in a destination, folder by folder, and the photo each was
// given for, compared the way each folder's disk compares names: a disk that ignores case (FAT,
// exFAT and NTFS, as USB sticks and cards come, and most network shares) takes a.jpg and A.jpg as
// one name. Two photos whose outputs meet in one name must both be kept, whatever the conflict
// mode, in one export and across exports: a photo never takes a name that holds another's file.
// A photo is named by its manifest key without "#B" (its copies A and B are one photo).
class ExportWrittenNames {
public:
    // A file the running export has just given its name.
    void add(const std::filesystem::path& file);
    // The files the manifest of earlier exports into the destination records, each for its photo.
    void addRecorded(const ExportManifest& manifest, const std::filesystem::path& destination);

    // Whether the running export has given a file this name in its folder.
    bool contains(const std::filesystem::path& file) const;
    // Whether the name is not the photo's to write: the running export has given it, or an earlier
    // export gave it to another photo whose file is still there. Where an older version let one
    // photo write over another's, two photos record the name; the one whose record the file still
    // matches is the file's photo.
    bool isTakenFrom(const std::filesystem::path& file, const std::string& photo) const;

    bool operator==(const ExportWrittenNames&) const = default;

    // Whether the folder's disk ignores the case of names: a file made there under a name in lower
    // case is looked for under the name in upper case. A folder that cannot be asked counts as
    // ignoring it: at worst a name gets a number it did not need.
    static bool ignoresCase(const std::filesystem::path& folder);
    // For tests: answers ignoresCase in place of the disk. An empty function ends it.
    static void setCaseProbeForTesting(std::function<bool(const std::filesystem::path&)> probe);

private:
    // A file an earlier export wrote, as its manifest records it.
    struct Recorded {
        std::string photo;
        std::filesystem::path file;
        FileIdentity identity;

        bool operator==(const Recorded&) const = default;
    };
    struct Name {
        bool given = false; // by the running export
        std::vector<Recorded> recorded;

        bool operator==(const Name&) const = default;
    };
    struct Folder {
        bool ignoresCase = false;
        std::map<std::string, Name> names; // upper-cased where the folder ignores case

        bool operator==(const Folder&) const = default;
    };
    Name& entry(const std::filesystem::path& file);
    const Name* find(const std::filesystem::path& file) const;
    static std::string key(const Folder& folder, const std::string& name);

    std::map<std::filesystem::path, Folder> folders_;
};

} // namespace sorvin
