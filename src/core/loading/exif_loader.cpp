#include "loading/exif_loader.hpp"

#include "loading/exif_reader.hpp"

namespace sorvin {

ExifLoader::ExifLoader(MainQueue& mainQueue, BackgroundExecutor& executor, Reader reader)
    : mainQueue_(mainQueue), executor_(executor), reader_(std::move(reader)),
      self_(std::make_shared<ExifLoader*>(this)) {
    if (!reader_)
        reader_ = [](const Photo& photo, PhotoSource source) { return ExifReader::read(photo, source); };
}

void ExifLoader::cancelWaiting() {
    if (waitingCancelled_) *waitingCancelled_ = true;
    waitingCancelled_.reset();
}

void ExifLoader::load(const Photo& photo, std::optional<PhotoSource> source) {
    const PhotoSource resolved = photo.resolvedSource(source);
    const std::string path = photo.relativePath;
    if (currentPath_ == path && currentSource_ == resolved && metadata_) return;

    cancelWaiting();
    currentPath_ = path;
    currentSource_ = resolved;
    metadata_.reset();
    changed.emit();

    auto cancelled = std::make_shared<bool>(false);
    waitingCancelled_ = cancelled;
    std::weak_ptr<ExifLoader*> weakSelf = self_;
    MainQueue& mainQueue = mainQueue_;
    executor_.run(TaskPriority::userInitiated,
                  [reader = reader_, photo, resolved, path, cancelled, weakSelf, &mainQueue] {
                      ExifMetadata result = reader(photo, resolved);
                      mainQueue.post([result = std::move(result), path, resolved, cancelled, weakSelf] {
                          const auto self = weakSelf.lock();
                          if (*cancelled || !self) return;
                          ExifLoader& loader = **self;
                          if (loader.currentPath_ != path || loader.currentSource_ != resolved) return;
                          loader.metadata_ = result;
                          loader.changed.emit();
                      });
                  });
}

void ExifLoader::clear() {
    cancelWaiting();
    currentPath_.reset();
    currentSource_.reset();
    metadata_.reset();
    changed.emit();
}

} // namespace sorvin
