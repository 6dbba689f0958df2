#include "canvas/photo_canvas_controller.hpp"

#include "app/app_state.hpp"
#include "canvas/mask_interaction.hpp"
#include "library/photo_library.hpp"
#include "model/photo.hpp"
#include "persistence/app_settings.hpp"
#include "platform/main_queue.hpp"

namespace sorvin {

PhotoCanvasController::PhotoCanvasController(AppState& state, MainQueue& mainQueue, Hooks hooks)
    : state_(state), mainQueue_(mainQueue), hooks_(std::move(hooks)),
      loupe_(mainQueue, state.executor(), [this] {
          if (hooks_.pointerChanged) hooks_.pointerChanged();
      }) {}

const PhotoCanvasModel& PhotoCanvasController::rebuild(const PhotoCanvasInputs& inputs) {
    model_ = PhotoCanvasModel::make(inputs);
    // The loupe's developments go with the loupe, the pointer over the canvas and the edit.
    if (!inputs.loupeSourceImage) {
        loupe_.clear();
        return model_;
    }
    const LoupeEdit edit{inputs.loupeSourceImage, inputs.displayedParameters, inputs.rotation, inputs.crop,
                         inputs.loupeFile};
    if (!model_.loupe) {
        loupe_.follow(edit);
        return model_;
    }
    const auto picture = loupe_.picture(edit, *model_.loupe);
    model_.loupeImage = picture ? picture->image : nullptr;
    if (picture) model_.loupe = picture->geometry;
    return model_;
}

MaskDragContext PhotoCanvasController::dragContext() const {
    return {&dragParameters_, state_.editTarget(), state_.loupeOn()};
}

PhotoInteractionInputs PhotoCanvasController::inputs() {
    PhotoInteractionInputs in;
    in.magnify = [this](double factor, Point point) {
        const PhotoLibrary* library = state_.library();
        const double scale = library ? library->zoomState().scale : 1;
        state_.setZoomScale(factor * scale, point, viewport(), content());
    };
    in.pan = [this](Size delta) {
        if (PhotoLibrary* library = state_.library()) library->panZoom(delta, viewport(), content());
    };
    in.scrollAdvance = [this](int step) {
        if (state_.adjustmentInputIsFocused() || state_.isModalExportPresented()) return false;
        return state_.move(step);
    };
    in.scrollPointsPerStep = [this] { return static_cast<double>(state_.settings().scrollPointsPerStep()); };
    in.allowsScrollAdvance = !state_.adjustmentInputIsFocused() && !state_.isModalExportPresented();
    in.scrollPansPhoto = model_.layout.zoom.scale > 1;

    in.maskDragBegan = [this](Point point) -> std::optional<MaskDragSession> {
        const PhotoLibrary* library = state_.library();
        if (!library) return std::nullopt;
        dragParameters_ = library->currentParameters();
        return MaskDragController::begin(model_.maskModels, dragContext(), point);
    };
    in.maskDragged = [this](Point point, const MaskDragSession& session) {
        const PhotoLibrary* library = state_.library();
        if (!library) return;
        dragParameters_ = library->currentParameters();
        const auto values =
            MaskDragController::drag(session, dragContext(), point, model_.layout.maskMapping(),
                                     model_.layout.areaCenter(), library->zoomState());
        if (values) state_.setCurrentMaskShapeValues(*values);
    };
    in.maskPointerStyle = [this](Point point, bool isDragging) {
        return MaskDragController::pointerStyle(model_.maskModels, point, isDragging);
    };
    in.singleClick = [this] {
        if (hooks_.clearInputFocus) hooks_.clearInputFocus();
    };
    in.doubleClick = [this] {
        if (hooks_.clearInputFocus) hooks_.clearInputFocus();
        if (PhotoLibrary* library = state_.library()) library->setZoomState(ZoomState{});
        state_.updateFullResolutionRequest();
    };
    in.dragSubject = [this] {
        DragSubject subject{state_.library(), {}, RetouchSlot::a, PhotoSource::jpeg, state_.editTarget()};
        if (const PhotoLibrary* library = subject.library) {
            if (const Photo* photo = library->currentPhoto()) subject.photo = photo->relativePath;
            subject.slot = library->currentSlot();
            subject.source = library->currentSource();
        }
        return subject;
    };
    in.mouseMoved = [this](Point point, bool inside) {
        pointer_ = {point, inside};
        if (hooks_.pointerChanged) hooks_.pointerChanged();
    };
    return in;
}

void PhotoCanvasController::toggleSourceFromBadge(const Photo& photo) {
    if (!photo.hasRawCompanion()) return;
    if (state_.adjustmentInputIsFocused()) {
        state_.setAdjustmentInputFocused(false);
        if (hooks_.clearInputFocus) hooks_.clearInputFocus();
        // Let the field finish giving up its focus before the switch.
        mainQueue_.post([&state = state_] { state.toggleCurrentSource(); });
        return;
    }
    state_.toggleCurrentSource();
}

} // namespace sorvin
