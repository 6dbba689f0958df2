#pragma once

#include "app/heart_feedback_presentation.hpp"
#include "canvas/crop_guide_geometry.hpp"
#include "canvas/loupe_geometry.hpp"
#include "canvas/mask_overlay_models.hpp"
#include "canvas/photo_canvas_layout.hpp"
#include "loading/image_cache_key.hpp"
#include "model/photo_parameters.hpp"
#include "platform/image.hpp"

#include <optional>
#include <string>
#include <vector>

namespace sorvin {

class AppState;
struct Photo;

// Where the pointer was last seen over the photo area.
struct PhotoCanvasPointer {
    Point location;
    bool inside = false;
};

// What the canvas reads of the application state, the library and the loaders at one redraw.
struct PhotoCanvasInputs {
    Size area;
    PhotoCanvasPointer pointer;
    SharedImage displayImage;
    SharedImage loupeSourceImage;
    ImageCacheKey loupeFile;             // whose picture the loupe develops
    PhotoParameters displayedParameters; // what the loupe develops with
    PixelSize orientedSize;              // of the file shown
    double rotation = 0;
    ManualCrop crop;
    ZoomState zoom;
    PhotoParameters currentParameters; // the masks being edited
    ParameterEditTarget editTarget;
    bool decodeFailed = false;
    bool fileTooLarge = false; // the decode failed because the file is beyond the decoder's limit
    bool cropInsideOnly = false;
    bool showGrid = false;
    SharedImage clippingWarningImage; // of this photo, when the warning is on
    bool loupeOn = false;
    bool exportPresented = false;
    bool singleExportPanelPresented = false;
    bool modalPresented = false;
    bool showingOriginal = false;
    bool sourceLoading = false;
    std::optional<HeartFeedbackPresentation> heartFeedback;
    bool heartFeedbackIsVisible = false;

    static PhotoCanvasInputs read(AppState& state, const Photo& photo, Size area,
                                  const PhotoCanvasPointer& pointer);
};

// Everything the photo area shows at one redraw, decided from the application state: the photo
// and its placement, and which layers lie over it with what. The widget only paints this.
struct PhotoCanvasModel {
    SharedImage displayImage;
    PhotoCanvasLayout layout;
    double rotation = 0;
    ManualCrop crop;
    bool cropInsideOnly = false;

    // Without a display image: the failure note, else the progress indicator.
    bool showsFailureNote = false;
    std::string failureNote; // its text
    bool showsProgress = false;

    // Placement of the crop guide and the clipping warning over the photo.
    CropGuideGeometry guideGeometry;
    SharedImage clippingWarningImage; // set when the warning is drawn
    bool showsCropGuide = false;
    bool cropGuideShowsMask = false;
    bool cropGuideShowsGrid = false;
    MaskOverlayModels maskModels;
    std::vector<std::string> statusItems;

    // The loupe, when it shows: its geometry and the developed region (which may be none). The model
    // places it; the canvas controller develops the region and may give the region last developed,
    // with its own geometry, while this one's is being made.
    std::optional<LoupeGeometry> loupe;
    SharedImage loupeImage;
    Point loupeCenter;

    bool showsLoadingNote = false;
    std::optional<HeartFeedbackPresentation> heartFeedback;
    bool heartFeedbackIsVisible = false;
    bool showsOriginalIndicator = false;

    friend bool operator==(const PhotoCanvasModel&, const PhotoCanvasModel&) = default;

    // The file whose decoding failure the canvas reports: the photo's own main file.
    static ImageCacheKey failureKey(const Photo& photo);

    static PhotoCanvasModel make(const PhotoCanvasInputs& inputs);
};

} // namespace sorvin
