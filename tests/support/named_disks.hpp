#pragma once

#include "platform/folder_probe_disk.hpp"

#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace sorvin::test {

// The file system as the folder probe asks it, each path on the disk the test names, every call
// written down.
class NamedDisks final : public FolderProbeDisk {
public:
    explicit NamedDisks(std::function<DiskId(const std::filesystem::path&)> disks) : disks_(std::move(disks)) {}

    // Every folder a disk of its own: each call of a question is handed over on its own, so that a
    // test with a manual executor runs the calls one at a time, as a share answers them.
    static std::shared_ptr<NamedDisks> folderByFolder() {
        return std::make_shared<NamedDisks>([](const std::filesystem::path& path) {
            return static_cast<DiskId>(std::distance(path.begin(), path.end()));
        });
    }

    DiskId diskOf(const std::filesystem::path& resolved) const override { return disks_(resolved); }
    FolderProbeNode node(const std::filesystem::path& path) const override {
        note(path);
        return FolderProbeDisk::node(path);
    }
    FolderProbeListing listing(const std::filesystem::path& folder, const std::function<void()>& answering) const override {
        note(folder);
        return FolderProbeDisk::listing(folder, answering);
    }

    std::vector<std::filesystem::path> calls() const {
        const std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void note(const std::filesystem::path& path) const {
        const std::lock_guard lock(mutex_);
        calls_.push_back(path);
    }

    std::function<DiskId(const std::filesystem::path&)> disks_;
    mutable std::mutex mutex_;
    mutable std::vector<std::filesystem::path> calls_;
};

} // namespace sorvin::test
