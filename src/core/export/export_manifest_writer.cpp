#include "export/export_manifest_writer.hpp"

#include "export/export_manifest_store.hpp"

#include <exception>

namespace sorvin {

ExportManifestWriter::ExportManifestWriter(ExportManifest manifest, std::filesystem::path destination,
                                           std::filesystem::path applicationSupportRoot,
                                           std::chrono::milliseconds interval)
    : destination_(std::move(destination)), applicationSupportRoot_(std::move(applicationSupportRoot)),
      interval_(interval), manifest_(std::move(manifest)), thread_([this] { run(); }) {}

ExportManifestWriter::~ExportManifestWriter() {
    finish();
}

void ExportManifestWriter::record(const std::string& key, const ExportManifestEntry& entry) {
    {
        const std::lock_guard lock(mutex_);
        manifest_.entries[key] = entry;
        pending_ = true;
    }
    changed_.notify_one();
}

void ExportManifestWriter::finish() {
    {
        const std::lock_guard lock(mutex_);
        if (finishing_) return;
        finishing_ = true;
        pending_ = true; // the manifest is always written at the end, also when nothing changed
    }
    changed_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void ExportManifestWriter::run() {
    try {
        writeWhilePending();
    } catch (const std::exception&) {
        // No memory for a copy of the manifest: it stays as last written, and the next export
        // simply does more.
    }
}

void ExportManifestWriter::writeWhilePending() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock lock(mutex_);
    auto nextWrite = Clock::now(); // the first entry is written at once
    for (;;) {
        changed_.wait(lock, [&] { return pending_ || finishing_; });
        changed_.wait_until(lock, nextWrite, [&] { return finishing_; });
        if (pending_) {
            pending_ = false;
            const ExportManifest snapshot = manifest_;
            lock.unlock();
            // Silent: a manifest that cannot be written only makes the next export do more.
            ExportManifestStore::write(snapshot, destination_, applicationSupportRoot_);
            nextWrite = Clock::now() + interval_;
            lock.lock();
        }
        if (finishing_ && !pending_) return;
    }
}

} // namespace sorvin
