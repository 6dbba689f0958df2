#include "canvas/photo_canvas_model.hpp"

#include "app/app_state.hpp"
#include "library/photo_library.hpp"
#include "model/photo.hpp"

namespace sorvin {

ImageCacheKey PhotoCanvasModel::failureKey(const Photo& photo) {
    return {photo.relativePath,
            photo.fileFormat == PhotoFileFormat::raw ? PhotoSource::raw : PhotoSource::jpeg};
}

PhotoCanvasInputs PhotoCanvasInputs::read(AppState& state, const Photo& photo, Size area,
                                          const PhotoCanvasPointer& pointer) {
    PhotoCanvasInputs in;
    const PhotoLibrary* library = state.library();
    in.area = area;
    in.pointer = pointer;
    in.zoom = library ? library->zoomState() : ZoomState{};
    in.loupeOn = state.loupeOn();
    const bool preferFull =
        PhotoCanvasRules::prefersFullResolution(state.lowMemoryMode(), in.zoom.scale, in.loupeOn);
    in.displayImage = state.displayImage(photo, preferFull);
    in.displayedParameters = state.displayedParameters(photo);
    const PhotoAsset shown = photo.asset(state.displayedSource(photo));
    in.orientedSize = PhotoCanvasRules::orientedSize(shown.pixelWidth, shown.pixelHeight, shown.orientation);
    if (library) {
        const RetouchSlot slot = library->currentSlot();
        in.rotation = library->rotation(photo, slot);
        in.crop = library->clampedCrop(photo, slot);
        in.currentParameters = library->currentParameters();
    }
    in.editTarget = state.editTarget();
    const auto& failures = state.imageLoader().failures();
    if (const auto failure = failures.find(PhotoCanvasModel::failureKey(photo)); failure != failures.end()) {
        in.decodeFailed = true;
        in.fileTooLarge = failure->second == std::errc::file_too_large;
    }
    in.cropInsideOnly = state.cropInsideOnly();
    in.showGrid = state.showGrid();
    HistogramLoader& histogram = state.histogramLoader();
    if (state.clippingWarning() && histogram.clippingWarningPath() == photo.relativePath) {
        in.clippingWarningImage = histogram.clippingWarningImage();
    }
    in.exportPresented = state.isExportPresented();
    in.singleExportPanelPresented = state.isSingleExportPanelPresented();
    in.modalPresented = state.isModalExportPresented();
    in.showingOriginal = state.showingOriginal();
    in.sourceLoading = state.isSourceLoading();
    in.heartFeedback = state.heartFeedback();
    in.heartFeedbackIsVisible = state.heartFeedbackIsVisible();
    // Developing the loupe's piece is only worth it while it can show.
    if (in.loupeOn && pointer.inside) {
        in.loupeSourceImage = state.loupeSourceImage(photo, preferFull);
        in.loupeFile = {photo.relativePath, state.displayedSource(photo)};
    }
    return in;
}

PhotoCanvasModel PhotoCanvasModel::make(const PhotoCanvasInputs& in) {
    PhotoCanvasModel model;
    model.displayImage = in.displayImage;
    model.rotation = in.rotation;
    model.crop = in.crop;
    model.cropInsideOnly = in.cropInsideOnly;
    const bool hasImage = in.displayImage != nullptr;
    const int iw = hasImage ? in.displayImage->width() : 0;
    const int ih = hasImage ? in.displayImage->height() : 0;
    model.layout = PhotoCanvasLayout::make(in.area, iw, ih, in.rotation, in.crop, in.cropInsideOnly, in.zoom);
    const bool cut = PhotoCanvasRules::cropStatus(in.rotation, in.crop, in.orientedSize);

    model.showsFailureNote = !hasImage && in.decodeFailed;
    if (model.showsFailureNote)
        model.failureNote = in.fileTooLarge
                                ? "この写真はファイルが大きすぎるため、このプログラムでは読み込めません"
                                : "この写真を読み込めません";
    model.showsProgress = !hasImage && !in.decodeFailed;

    CropGuideGeometry& guide = model.guideGeometry;
    guide.areaSize = in.area;
    guide.sourceSize = {static_cast<double>(iw), static_cast<double>(ih)};
    guide.fittedImageSize = model.layout.fittedSize;
    guide.rotation = in.rotation;
    guide.crop = in.crop;
    guide.zoomScale = in.zoom.scale;
    guide.offset = model.layout.imageCentreOffset();

    if (hasImage) model.clippingWarningImage = in.clippingWarningImage;
    if (hasImage && !in.modalPresented && (in.showGrid || (cut && !in.cropInsideOnly))) {
        model.showsCropGuide = true;
        model.cropGuideShowsMask = cut && !in.cropInsideOnly;
        model.cropGuideShowsGrid = in.showGrid;
    }

    const bool guidesAllowed =
        !in.loupeOn && !in.exportPresented && !in.singleExportPanelPresented && !in.showingOriginal;
    if (guidesAllowed && model.layout.hasImage() && in.zoom.scale > 0) {
        model.maskModels =
            MaskOverlayModels::make(in.currentParameters, in.editTarget, model.layout.maskMapping());
    }

    std::optional<std::string> remaining;
    if (hasImage) remaining = PhotoCanvasRules::remainingText(in.rotation, in.crop, in.orientedSize);
    model.statusItems = PhotoCanvasRules::statusItems(in.zoom.scale, in.rotation, remaining);

    LoupeVisibility visibility;
    visibility.loupeOn = in.loupeOn;
    visibility.modalPresented = in.modalPresented;
    visibility.zoomScale = in.zoom.scale;
    visibility.hasImage = hasImage;
    visibility.sourceLoading = in.sourceLoading;
    visibility.pointerInside = in.pointer.inside;
    visibility.cropInsideOnly = in.cropInsideOnly;
    visibility.pointer = in.pointer.location;
    visibility.imageRect = model.layout.imageRect;
    visibility.visibleCropRect = model.layout.contentRect;
    visibility.rotation = in.rotation;
    if (visibility.shouldShow() && in.loupeSourceImage) {
        const auto geometry = LoupeGeometry::make(
            in.loupeSourceImage->width(), in.loupeSourceImage->height(), model.layout.fittedSize,
            model.layout.imageRect, in.pointer.location, in.rotation, PhotoCanvasRules::loupeSide(in.area));
        model.loupe = geometry;
        model.loupeCenter = in.pointer.location;
    }

    model.showsLoadingNote = in.sourceLoading;
    model.heartFeedback = in.heartFeedback;
    model.heartFeedbackIsVisible = in.heartFeedbackIsVisible;
    model.showsOriginalIndicator = in.showingOriginal;
    return model;
}

} // namespace sorvin
