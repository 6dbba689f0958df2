#pragma once

#include "canvas/loupe_geometry.hpp"
#include "model/manual_crop.hpp"
#include "model/photo_parameters.hpp"
#include "platform/image.hpp"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace sorvin {

class BackgroundExecutor;
class MainQueue;

// What the loupe develops: its source image with the displayed edit and the photo's framing.
struct LoupeEdit {
    SharedImage source;
    PhotoParameters parameters;
    double rotation = 0;
    ManualCrop crop;

    bool operator==(const LoupeEdit&) const = default;
};

// A developed loupe region and the geometry it was cut for.
struct LoupePicture {
    SharedImage image; // none: the region is empty or its development failed
    LoupeGeometry geometry;
};

// Keeps the loupe up with the pointer whatever the edit. The whole source is developed once per
// edit in the background, and from then on every move cuts its region out of that. Until it is
// ready, each move's region is developed in the background (the latest move waits for the one
// under way, earlier ones are skipped; not when the region's development would read most of the
// photo) and the loupe shows the last region developed for the edit. Nothing developed for another
// edit is ever shown. Main thread only; the work holds the developer weakly.
class LoupeDeveloper {
public:
    // `ready`: a picture has come that the loupe may show.
    LoupeDeveloper(MainQueue& mainQueue, BackgroundExecutor& executor, std::function<void()> ready);
    ~LoupeDeveloper();
    LoupeDeveloper(const LoupeDeveloper&) = delete;
    LoupeDeveloper& operator=(const LoupeDeveloper&) = delete;

    // What the loupe shows now for the edit at this geometry: the region itself once the whole
    // development is there, else the last region developed for the edit; none before any.
    std::optional<LoupePicture> picture(const LoupeEdit& edit, const LoupeGeometry& geometry);
    // Drops what was developed for another edit and calls off its work.
    void follow(const LoupeEdit& edit);
    // The loupe cannot show: the developments are dropped and the work under way is called off.
    void clear();

    // Whether the whole source has been developed for the edit last asked for.
    bool hasWholeDevelopment() const { return whole_ != nullptr; }

private:
    bool worthDevelopingAlone(const LoupeGeometry& geometry) const;
    void startWhole();
    void startRegion(const LoupeGeometry& geometry);

    MainQueue& mainQueue_;
    BackgroundExecutor& executor_;
    std::function<void()> ready_;
    std::shared_ptr<LoupeDeveloper*> self_;

    LoupeEdit edit_;
    std::uint64_t generation_ = 0;                 // of the edit: results of another are dropped
    std::shared_ptr<std::atomic<bool>> cancelled_; // the edit's work
    SharedImage whole_;
    bool wholeStarted_ = false;
    std::optional<LoupePicture> lastRegion_;
    std::optional<LoupeGeometry> runningRegion_; // the region being developed
    std::optional<LoupeGeometry> wantedRegion_;  // the latest move's, to be developed next
};

} // namespace sorvin
