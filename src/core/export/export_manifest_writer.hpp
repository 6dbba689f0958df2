#pragma once

#include "export/export_manifest.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

namespace sorvin {

// Keeps the manifest of a running export on disk while it grows: an entry handed over is written
// within about an interval (the whole manifest, atomically, on a thread of its own, at most once an
// interval), and whatever is still pending when the export finishes. So an export that is killed
// leaves a manifest of what it published, and the next export skips those files instead of
// writing them again under numbered names.
class ExportManifestWriter {
public:
    ExportManifestWriter(ExportManifest manifest, std::filesystem::path destination,
                         std::filesystem::path applicationSupportRoot,
                         std::chrono::milliseconds interval = std::chrono::seconds(1));
    ~ExportManifestWriter();
    ExportManifestWriter(const ExportManifestWriter&) = delete;
    ExportManifestWriter& operator=(const ExportManifestWriter&) = delete;

    // Sets the entry of a key, replacing what the manifest held for it.
    void record(const std::string& key, const ExportManifestEntry& entry);

    // Writes the manifest now and ends the thread; later records are not written. Also done by the
    // destructor.
    void finish();

private:
    void run();
    void writeWhilePending();

    const std::filesystem::path destination_;
    const std::filesystem::path applicationSupportRoot_;
    const std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable changed_;
    ExportManifest manifest_;
    bool pending_ = false;
    bool finishing_ = false;
    std::thread thread_;
};

} // namespace sorvin
