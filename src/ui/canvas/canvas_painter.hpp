#pragma once

#include "canvas/photo_canvas_model.hpp"

class QPainter;
class QString;

namespace sorvin {

// Draws the layers of a canvas model; each function draws one layer in the area's coordinates.
struct CanvasPainter {
    static void photo(QPainter& painter, const PhotoCanvasModel& model);
    static void clippingWarning(QPainter& painter, const PhotoCanvasModel& model);
    static void cropGuide(QPainter& painter, const PhotoCanvasModel& model);
    static void circularMaskGuide(QPainter& painter, const CircularMaskOverlayModel& model);
    static void linearMaskGuide(QPainter& painter, const LinearMaskOverlayModel& model);
    static void statusStrip(QPainter& painter, const PhotoCanvasModel& model, double areaHeight);
    static void loupe(QPainter& painter, const PhotoCanvasModel& model, double side);
    static void loadingNote(QPainter& painter, double areaWidth);
    static void heartFeedback(QPainter& painter, const PhotoCanvasModel& model, double opacity, double width,
                              double height);
    static void failureNote(QPainter& painter, double areaHeight, const QString& text);
};

} // namespace sorvin
