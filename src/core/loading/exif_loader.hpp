#pragma once

#include "model/exif_metadata.hpp"
#include "model/photo.hpp"
#include "model/photo_source.hpp"
#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"
#include "platform/signal.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sorvin {

// Reads the EXIF values of the current photo in the background and publishes them for the EXIF
// panel and the copied EXIF text. Main thread only. A newer request always wins: the result of an
// older read, or of one made before clear(), is dropped without a word.
class ExifLoader {
public:
    using Reader = std::function<ExifMetadata(const Photo&, PhotoSource)>;

    // The reader runs on the executor at user-initiated priority; ExifReader::read by default.
    ExifLoader(MainQueue& mainQueue, BackgroundExecutor& executor, Reader reader = {});
    ExifLoader(const ExifLoader&) = delete;
    ExifLoader& operator=(const ExifLoader&) = delete;

    // The values of currentPath and currentSource; empty while a read runs and after clear().
    const std::optional<ExifMetadata>& metadata() const { return metadata_; }
    const std::optional<std::string>& currentPath() const { return currentPath_; }
    const std::optional<PhotoSource>& currentSource() const { return currentSource_; }

    // Emitted after the published values changed.
    Signal<> changed;

    // Starts a read unless this photo and source are already loaded. No source means the
    // photo's own (raw for a RAW file).
    void load(const Photo& photo, std::optional<PhotoSource> source);
    void clear();

private:
    void cancelWaiting();

    MainQueue& mainQueue_;
    BackgroundExecutor& executor_;
    Reader reader_;
    std::optional<ExifMetadata> metadata_;
    std::optional<std::string> currentPath_;
    std::optional<PhotoSource> currentSource_;
    // The waiting side of the running read: set when a newer request or clear() replaces it.
    std::shared_ptr<bool> waitingCancelled_;
    // Expires with the loader, so results that come back later find nobody to publish to.
    std::shared_ptr<ExifLoader*> self_;
};

} // namespace sorvin
