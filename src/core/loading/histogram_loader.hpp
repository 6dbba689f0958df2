#pragma once

#include "loading/histogram_data.hpp"
#include "loading/histogram_image_processor.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_parameters.hpp"
#include "platform/background_executor.hpp"
#include "platform/image.hpp"
#include "platform/main_queue.hpp"
#include "platform/signal.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sorvin {

// Everything one histogram run works from, copied so the run shares nothing with the loader.
struct HistogramRequest {
    SharedImage source;
    double rotation = 0;
    ManualCrop crop;
    PhotoParameters parameters;
    bool clippingWarningEnabled = false;
};

// Computes the histogram and the clipping mask of the photo shown, after a short pause so a burst
// of edits or moves makes one computation, and publishes them only while they still belong to the
// newest request and the photo shown. Main thread only; the image work runs detached at utility
// priority.
class HistogramLoader {
public:
    using Processor = std::function<std::optional<HistogramLoadResult>(const HistogramRequest&)>;

    static constexpr double kPause = 0.1; // seconds

    // The processor runs on the executor; HistogramImageProcessor::process by default.
    HistogramLoader(MainQueue& mainQueue, BackgroundExecutor& executor, Processor processor = {});
    HistogramLoader(const HistogramLoader&) = delete;
    HistogramLoader& operator=(const HistogramLoader&) = delete;

    const std::optional<HistogramData>& data() const { return data_; }
    const std::optional<std::string>& currentPath() const { return currentPath_; }
    const SharedImage& clippingWarningImage() const { return clippingWarningImage_; }
    const std::optional<std::string>& clippingWarningPath() const { return clippingWarningPath_; }

    // Emitted after the published values changed.
    Signal<> changed;

    // The source is the decoded display image of the photo (or its RAW development); without one
    // the histogram and mask are emptied at once. Until the new result arrives the previous one
    // stays published. The request that is already waiting, running or published is not made again.
    void schedule(SharedImage source, const std::string& path, double rotation, const ManualCrop& crop,
                  const PhotoParameters& parameters, bool clippingWarningEnabled);
    void clear();

private:
    void cancelPending();
    void publish(std::uint64_t request, const std::string& path, std::optional<HistogramLoadResult> result);

    MainQueue& mainQueue_;
    BackgroundExecutor& executor_;
    Processor processor_;
    std::optional<HistogramData> data_;
    std::optional<std::string> currentPath_;
    SharedImage clippingWarningImage_;
    std::optional<std::string> clippingWarningPath_;
    MainQueue::Timer pause_;
    std::shared_ptr<bool> taskCancelled_;
    std::optional<std::uint64_t> requestID_;
    // What requestID_ stands for; the image is only recognised, not kept alive.
    struct Requested {
        std::weak_ptr<const Image> source;
        double rotation = 0;
        ManualCrop crop;
        PhotoParameters parameters;
        bool clippingWarningEnabled = false;
        bool matches(const HistogramRequest& request) const;
    };
    std::optional<Requested> requested_;
    std::uint64_t lastRequest_ = 0;
    std::shared_ptr<HistogramLoader*> self_;
};

} // namespace sorvin
