#pragma once

#include "canvas/loupe_geometry.hpp"
#include "loading/image_cache_key.hpp"
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

// What the loupe develops: its source image with the displayed edit and the photo's framing, and
// the file shown (what was developed for another file never stands in for this one's).
struct LoupeEdit {
    SharedImage source;
    PhotoParameters parameters;
    double rotation = 0;
    ManualCrop crop;
    ImageCacheKey file;

    bool operator==(const LoupeEdit&) const = default;
};

// A developed loupe region and the geometry it was cut for.
struct LoupePicture {
    SharedImage image; // none: the region is empty or its development failed
    LoupeGeometry geometry;
};

// Keeps the loupe up with the pointer whatever the edit. The whole source is developed once per
// edit in the background, and from then on every move cuts its region out of that. Until it is
// ready, each move's region is developed in the background first (the latest move waits for the
// one under way, earlier ones are skipped; not when the region's development would read most of
// the photo) and the loupe shows the last region developed for the edit. A region under way when
// the edit changes is finished and shown all the same, and the newest edit's region follows it:
// while a key steps an adjustment faster than a region develops, the loupe keeps up one region at
// a time instead of waiting for the key to be let go. Until the edit has a picture, the loupe goes
// on showing what it showed for the file's earlier edit, cut at the pointer's place from that
// edit's whole development where there is one: it never goes blank on an edit, and never goes
// back to an older edit once a newer one has shown. Main thread only; the work holds the
// developer weakly.
class LoupeDeveloper {
public:
    // `ready`: a picture has come that the loupe may show.
    LoupeDeveloper(MainQueue& mainQueue, BackgroundExecutor& executor, std::function<void()> ready);
    ~LoupeDeveloper();
    LoupeDeveloper(const LoupeDeveloper&) = delete;
    LoupeDeveloper& operator=(const LoupeDeveloper&) = delete;

    // What the loupe shows now for the edit at this geometry: the region itself once the whole
    // development is there, else the last region developed for the edit, else the earlier edit's
    // picture; none before any.
    std::optional<LoupePicture> picture(const LoupeEdit& edit, const LoupeGeometry& geometry);
    // Calls off the work for another edit but the region under way; what was developed for the
    // same file's earlier edit is kept to show until this one has a picture, anything else is
    // dropped (and another file's region called off).
    void follow(const LoupeEdit& edit);
    // The loupe cannot show: the developments are dropped and the work under way is called off.
    void clear();

    // Whether the whole source has been developed for the edit last asked for.
    bool hasWholeDevelopment() const { return whole_ != nullptr; }

private:
    void dropEdit();
    void dropRegion();
    void dropEarlier();
    std::optional<LoupePicture> earlier(const LoupeGeometry& geometry);
    bool worthDevelopingAlone(const LoupeGeometry& geometry) const;
    void startWhole();
    void startRegion(const LoupeGeometry& geometry);
    void regionDeveloped(std::uint64_t generation, const std::shared_ptr<std::atomic<bool>>& cancelled,
                         LoupePicture picture);

    MainQueue& mainQueue_;
    BackgroundExecutor& executor_;
    std::function<void()> ready_;
    std::shared_ptr<LoupeDeveloper*> self_;

    LoupeEdit edit_;
    std::uint64_t generation_ = 0;                 // of the edit: results of another are dropped
    std::shared_ptr<std::atomic<bool>> cancelled_; // the edit's whole development
    SharedImage whole_;
    bool wholeStarted_ = false;
    std::optional<LoupePicture> lastRegion_;
    struct RunningRegion {
        LoupeGeometry geometry;
        std::uint64_t generation; // of the edit it is developed for
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    std::optional<RunningRegion> runningRegion_; // the one region being developed
    std::optional<LoupeGeometry> wantedRegion_;  // the latest move's, to be developed next
    // What showed for the file's earlier edit, kept until this edit has a picture.
    SharedImage earlierWhole_;
    std::optional<LoupePicture> earlierPicture_;
};

} // namespace sorvin
