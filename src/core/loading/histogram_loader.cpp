#include "loading/histogram_loader.hpp"

namespace sorvin {

HistogramLoader::HistogramLoader(MainQueue& mainQueue, BackgroundExecutor& executor, Processor processor)
    : mainQueue_(mainQueue), executor_(executor), processor_(std::move(processor)),
      self_(std::make_shared<HistogramLoader*>(this)) {
    if (!processor_) {
        processor_ = [](const HistogramRequest& r) {
            return HistogramImageProcessor::process(r.source, r.rotation, r.crop, r.parameters,
                                                    r.clippingWarningEnabled);
        };
    }
}

bool HistogramLoader::Requested::matches(const HistogramRequest& request) const {
    return !source.owner_before(request.source) && !request.source.owner_before(source) &&
           !source.expired() && rotation == request.rotation && crop == request.crop &&
           parameters == request.parameters && clippingWarningEnabled == request.clippingWarningEnabled;
}

void HistogramLoader::cancelPending() {
    pause_.cancel();
    if (taskCancelled_) *taskCancelled_ = true;
    taskCancelled_.reset();
}

void HistogramLoader::schedule(SharedImage source, const std::string& path, double rotation,
                               const ManualCrop& crop, const PhotoParameters& parameters,
                               bool clippingWarningEnabled) {
    HistogramRequest work{std::move(source), rotation, crop, parameters, clippingWarningEnabled};
    if (requestID_ && currentPath_ == path && requested_ && requested_->matches(work)) return;
    cancelPending();
    requested_.reset();
    if (!work.source) {
        requestID_.reset();
        currentPath_ = path;
        data_.reset();
        clippingWarningImage_.reset();
        clippingWarningPath_.reset();
        changed.emit();
        return;
    }
    const std::uint64_t request = ++lastRequest_;
    requestID_ = request;
    requested_ = Requested{work.source, rotation, crop, parameters, clippingWarningEnabled};
    currentPath_ = path;
    changed.emit();

    auto cancelled = std::make_shared<bool>(false);
    taskCancelled_ = cancelled;
    std::weak_ptr<HistogramLoader*> weakSelf = self_;
    pause_ = mainQueue_.postAfter(kPause, [this, weakSelf, cancelled, request, path, work = std::move(work)] {
        if (*cancelled || weakSelf.expired()) return;
        MainQueue& mainQueue = mainQueue_;
        // The run itself is never stopped; a result nobody wants any more is dropped on arrival.
        executor_.run(TaskPriority::utility, [processor = processor_, work, &mainQueue, weakSelf, cancelled,
                                              request, path] {
            auto result = processor(work);
            mainQueue.post([result = std::move(result), weakSelf, cancelled, request, path]() mutable {
                const auto self = weakSelf.lock();
                if (*cancelled || !self) return;
                (*self)->publish(request, path, std::move(result));
            });
        });
    });
}

void HistogramLoader::publish(std::uint64_t request, const std::string& path,
                              std::optional<HistogramLoadResult> result) {
    if (requestID_ != request || currentPath_ != path) return;
    data_ = result ? std::optional<HistogramData>(std::move(result->histogram)) : std::nullopt;
    clippingWarningImage_ = result ? result->clippingWarningImage : nullptr;
    clippingWarningPath_ = clippingWarningImage_ ? std::optional<std::string>(path) : std::nullopt;
    changed.emit();
}

void HistogramLoader::clear() {
    cancelPending();
    requestID_.reset();
    requested_.reset();
    currentPath_.reset();
    data_.reset();
    clippingWarningImage_.reset();
    clippingWarningPath_.reset();
    changed.emit();
}

} // namespace sorvin
