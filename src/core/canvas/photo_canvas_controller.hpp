#pragma once

#include "canvas/loupe_developer.hpp"
#include "canvas/mask_interaction.hpp"
#include "canvas/photo_canvas_model.hpp"
#include "canvas/photo_interaction.hpp"

#include <functional>

namespace sorvin {

class AppState;
class MainQueue;

// The canvas's side of the pointer input: what a pinch, pan, scroll, click or mask drag does to
// the application state, measured against the latest model the canvas drew.
class PhotoCanvasController {
public:
    struct Hooks {
        std::function<void()> clearInputFocus; // ends typed adjustment input
        std::function<void()> pointerChanged;  // the pointer moved, or the loupe's picture came: redraw
    };

    PhotoCanvasController(AppState& state, MainQueue& mainQueue, Hooks hooks);

    // Builds the model from inputs read with the pointer last seen (and possibly amended). The
    // loupe's picture is developed in the background; the model holds what is ready.
    const PhotoCanvasModel& rebuild(const PhotoCanvasInputs& inputs);
    const PhotoCanvasModel& model() const { return model_; }
    const PhotoCanvasPointer& pointer() const { return pointer_; }

    // The closures for the pointer input, over the model last built.
    PhotoInteractionInputs inputs();

    // The photo-area badge: switches between the JPEG and the RAW file of a pair.
    void toggleSourceFromBadge(const Photo& photo);

private:
    Size viewport() const { return model_.layout.area; }
    Size content() const { return model_.layout.contentSize; }
    MaskDragContext dragContext() const;

    AppState& state_;
    MainQueue& mainQueue_;
    Hooks hooks_;
    PhotoCanvasModel model_;
    PhotoCanvasPointer pointer_;
    PhotoParameters dragParameters_; // read afresh at every mask event
    LoupeDeveloper loupe_;
};

} // namespace sorvin
