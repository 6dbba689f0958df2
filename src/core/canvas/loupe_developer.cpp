#include "canvas/loupe_developer.hpp"

#include "platform/background_executor.hpp"
#include "platform/main_queue.hpp"

namespace sorvin {

LoupeDeveloper::LoupeDeveloper(MainQueue& mainQueue, BackgroundExecutor& executor,
                               std::function<void()> ready)
    : mainQueue_(mainQueue), executor_(executor), ready_(std::move(ready)),
      self_(std::make_shared<LoupeDeveloper*>(this)) {}

LoupeDeveloper::~LoupeDeveloper() {
    clear();
}

void LoupeDeveloper::clear() {
    dropRegion();
    dropEdit();
    dropEarlier();
}

void LoupeDeveloper::dropEdit() {
    if (cancelled_) cancelled_->store(true);
    cancelled_.reset();
    ++generation_;
    edit_ = {};
    whole_ = nullptr;
    wholeStarted_ = false;
    lastRegion_.reset();
    wantedRegion_.reset();
}

void LoupeDeveloper::dropRegion() {
    if (runningRegion_) runningRegion_->cancelled->store(true);
    runningRegion_.reset();
}

void LoupeDeveloper::dropEarlier() {
    earlierWhole_ = nullptr;
    earlierPicture_.reset();
}

void LoupeDeveloper::follow(const LoupeEdit& edit) {
    if (cancelled_ && edit == edit_) return;
    if (!cancelled_ || edit.file != edit_.file) {
        dropRegion();
        dropEarlier();
    } else if (whole_ || lastRegion_) {
        // The edit's picture is the newest shown; an older one stays only while it had none.
        earlierWhole_ = whole_;
        earlierPicture_ = lastRegion_;
    }
    dropEdit();
    edit_ = edit;
    cancelled_ = std::make_shared<std::atomic<bool>>(false);
}

std::optional<LoupePicture> LoupeDeveloper::picture(const LoupeEdit& edit, const LoupeGeometry& geometry) {
    follow(edit);
    if (!geometry.region) return LoupePicture{nullptr, geometry};
    const bool shown = lastRegion_ && lastRegion_->geometry == geometry;
    if (shown) wantedRegion_.reset();
    if (whole_) {
        if (!shown) lastRegion_ = LoupePicture{LoupeRenderer::regionOf(whole_, geometry), geometry};
        return lastRegion_;
    }
    // The region before the whole photo: where the workers take the work in turn, the region comes
    // in a fraction of the time.
    if (!shown && worthDevelopingAlone(geometry)) {
        if (!runningRegion_)
            startRegion(geometry);
        else if (runningRegion_->generation == generation_ && runningRegion_->geometry == geometry)
            wantedRegion_.reset();
        else
            wantedRegion_ = geometry;
    }
    if (!wholeStarted_) startWhole();
    return lastRegion_ ? lastRegion_ : earlier(geometry);
}

std::optional<LoupePicture> LoupeDeveloper::earlier(const LoupeGeometry& geometry) {
    const bool cuttable = earlierWhole_ && earlierWhole_->width() == geometry.imageWidth &&
                          earlierWhole_->height() == geometry.imageHeight;
    if (cuttable && (!earlierPicture_ || earlierPicture_->geometry != geometry))
        earlierPicture_ = LoupePicture{LoupeRenderer::regionOf(earlierWhole_, geometry), geometry};
    return earlierPicture_;
}

bool LoupeDeveloper::worthDevelopingAlone(const LoupeGeometry& geometry) const {
    // A region whose development reads most of the photo would come little sooner than the whole
    // photo's development, and slow it down.
    const auto developed = LoupeRenderer::developedRect(edit_.parameters, geometry);
    return developed && developed->width * developed->height * 2 <=
                            static_cast<double>(geometry.imageWidth) * geometry.imageHeight;
}

void LoupeDeveloper::startWhole() {
    wholeStarted_ = true;
    const std::weak_ptr<LoupeDeveloper*> weak = self_;
    executor_.run(TaskPriority::userInitiated, [&mainQueue = mainQueue_, weak, edit = edit_,
                                                generation = generation_, cancelled = cancelled_] {
        SharedImage whole = LoupeRenderer::renderWhole(edit.source, edit.parameters, edit.rotation, edit.crop,
                                                       [&cancelled] { return cancelled->load(); });
        if (cancelled->load()) return;
        mainQueue.post([weak, generation, whole = std::move(whole)] {
            const auto self = weak.lock();
            if (!self || (*self)->generation_ != generation) return;
            LoupeDeveloper& developer = **self;
            if (!whole) return; // the regions go on being developed one by one
            developer.whole_ = whole;
            developer.dropRegion();
            developer.wantedRegion_.reset();
            developer.dropEarlier();
            developer.ready_();
        });
    });
}

void LoupeDeveloper::startRegion(const LoupeGeometry& geometry) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    runningRegion_ = RunningRegion{geometry, generation_, cancelled};
    const std::weak_ptr<LoupeDeveloper*> weak = self_;
    executor_.run(TaskPriority::userInitiated, [&mainQueue = mainQueue_, weak, edit = edit_, geometry,
                                                generation = generation_, cancelled] {
        SharedImage region = LoupeRenderer::render(edit.source, edit.parameters, geometry, edit.crop,
                                                   [&cancelled] { return cancelled->load(); });
        if (cancelled->load()) return;
        mainQueue.post([weak, generation, cancelled, picture = LoupePicture{std::move(region), geometry}] {
            if (const auto self = weak.lock()) (*self)->regionDeveloped(generation, cancelled, picture);
        });
    });
}

void LoupeDeveloper::regionDeveloped(std::uint64_t generation,
                                     const std::shared_ptr<std::atomic<bool>>& cancelled,
                                     LoupePicture picture) {
    if (!runningRegion_ || runningRegion_->cancelled != cancelled) return;
    runningRegion_.reset();
    if (whole_) return;
    if (generation == generation_) {
        lastRegion_ = std::move(picture);
        dropEarlier();
    } else {
        // An earlier edit's region, newer than anything shown: it stands in until this edit has a
        // picture of its own, and what showed before it never comes back.
        earlierWhole_ = nullptr;
        earlierPicture_ = std::move(picture);
    }
    if (wantedRegion_) {
        const LoupeGeometry next = *wantedRegion_;
        wantedRegion_.reset();
        startRegion(next);
    }
    ready_();
}

} // namespace sorvin
