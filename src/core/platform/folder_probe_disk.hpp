#pragma once

#include "platform/background_executor.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace sorvin {

// One entry of a folder that is a folder or a file, or may be one: the listing tells folders and
// plain files apart, except for links and entries whose kind it does not give, which must be asked.
struct FolderProbeEntry {
    std::string name;
    bool listedAsFolder = false;
    bool listedAsFile = false;
};

// What is at a path, following links.
enum class FolderProbePathKind { missing, folder, other };

// What listing a folder gave: its folders, files and entries that may be either (devices, pipes
// and sockets are left out), in the order people expect names in, or why it could not be read.
struct FolderProbeListing {
    std::vector<FolderProbeEntry> entries;
    std::error_code error;
};

// What a path is itself, a link at its end not followed: where the link points, or its kind, and
// why it could not be looked at (it then counts as missing).
struct FolderProbeNode {
    FolderProbePathKind kind = FolderProbePathKind::missing;
    std::optional<std::filesystem::path> linkTarget;
    std::error_code error;
};

// Where the probe's questions are answered, one call to one disk at a time: the file system,
// unless a test stands in for a disk that answers late or not at all. Called on the workers, also
// after the probe is gone.
class FolderProbeDisk {
public:
    FolderProbeDisk();
    virtual ~FolderProbeDisk();
    FolderProbeDisk(const FolderProbeDisk&) = delete;
    FolderProbeDisk& operator=(const FolderProbeDisk&) = delete;

    // The disk that answers for a path whose links are resolved: the file system of the mount
    // nearest above it in the mount table, read again whenever the system's changes; any disk
    // when the table does not tell. Asks no disk.
    virtual DiskId diskOf(const std::filesystem::path& resolved) const;
    // What a path is itself: one question to the disk it lies on.
    virtual FolderProbeNode node(const std::filesystem::path& path) const;
    // The entries of a folder whose links are resolved; `answering` is called now and then while
    // the disk goes on answering.
    virtual FolderProbeListing listing(const std::filesystem::path& folder,
                                       const std::function<void()>& answering) const;

    static FolderProbeNode readNode(const std::filesystem::path& path);
    // The listing alone tells a folder from a file on most file systems, without asking each entry.
    // It is put in order here, off the main thread: a folder may hold tens of thousands of names.
    static FolderProbeListing readListing(const std::filesystem::path& folder,
                                          const std::function<void()>& answering = {});

private:
    struct Mounts;
    std::unique_ptr<Mounts> mounts_;
};

} // namespace sorvin
