#include "ui/canvas/canvas_painter.hpp"

#include "ui/platform/sorvin_look.hpp"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>
#include <vector>

namespace sorvin {

namespace {

// Borrows the pixels for the time of one paint; the model keeps the image alive.
QImage borrowed(const SharedImage& image) {
    return QImage(image->data(), image->width(), image->height(),
                  static_cast<qsizetype>(image->bytesPerRow()), QImage::Format_RGBA8888_Premultiplied);
}

QPointF qt(Point p) {
    return {p.x, p.y};
}

QRectF qt(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

QColor withAlpha(QColor color, double opacity) {
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

// The loupe's rounded square filled black at the shadow's opacity and blurred, in an image that
// reaches past the square by three standard deviations of the blur on every side. Built once for
// the side the loupe has.
const QImage& loupeShadow(int side) {
    static QImage shadow;
    static int shadowSide = -1;
    if (side == shadowSide) return shadow;
    // A blur radius is twice the standard deviation of the Gaussian it stands for.
    const double sigma = LoupeGeometry::kShadowBlurRadius / 2;
    const int reach = static_cast<int>(std::ceil(3 * sigma));
    const int extent = side + 2 * reach;
    QImage alpha(extent, extent, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(reach, reach, side, side), LoupeGeometry::kCornerRadius,
                             LoupeGeometry::kCornerRadius);
        painter.fillPath(shape,
                         QColor(0, 0, 0, static_cast<int>(std::lround(LoupeGeometry::kShadowOpacity * 255))));
    }
    std::vector<float> kernel(static_cast<std::size_t>(2 * reach + 1));
    float total = 0;
    for (int i = -reach; i <= reach; ++i)
        total += kernel[static_cast<std::size_t>(i + reach)] =
            std::exp(-0.5f * static_cast<float>(i * i / (sigma * sigma)));
    for (float& k : kernel)
        k /= total;
    // Rows, then columns.
    std::vector<float> plane(static_cast<std::size_t>(extent) * static_cast<std::size_t>(extent));
    std::vector<float> pass(plane.size());
    for (int y = 0; y < extent; ++y)
        for (int x = 0; x < extent; ++x)
            plane[static_cast<std::size_t>(y * extent + x)] = alpha.constScanLine(y)[x];
    const auto blur = [&](std::vector<float>& from, std::vector<float>& to, int step, int across) {
        for (int line = 0; line < extent; ++line)
            for (int i = 0; i < extent; ++i) {
                float sum = 0;
                for (int k = -reach; k <= reach; ++k) {
                    const int j = i + k;
                    if (j >= 0 && j < extent)
                        sum += kernel[static_cast<std::size_t>(k + reach)] *
                               from[static_cast<std::size_t>(line * across + j * step)];
                }
                to[static_cast<std::size_t>(line * across + i * step)] = sum;
            }
    };
    blur(plane, pass, 1, extent);
    blur(pass, plane, extent, 1);
    shadow = QImage(extent, extent, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < extent; ++y) {
        auto* line = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < extent; ++x)
            line[x] = qRgba(
                0, 0, 0,
                std::clamp(static_cast<int>(std::lround(plane[static_cast<std::size_t>(y * extent + x)])), 0,
                           255));
    }
    shadowSide = side;
    return shadow;
}

const QColor kLinearGuide(191, 90, 242);
const QColor kCircularGuide(255, 159, 10);

void strokeSegment(QPainter& painter, const MaskGuideSegment& segment) {
    painter.drawLine(qt(segment.start), qt(segment.end));
}

// A 10-point handle: filled disc, white ring just inside it.
void handle(QPainter& painter, Point center, const QColor& color, double opacity) {
    const QRectF disc(center.x - 5, center.y - 5, 10, 10);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(color, opacity));
    painter.drawEllipse(disc);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(withAlpha(Qt::white, opacity), 1));
    painter.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
}

QPolygonF polygon(const std::vector<Point>& points) {
    QPolygonF result;
    result.reserve(static_cast<qsizetype>(points.size()));
    for (const Point& p : points)
        result << qt(p);
    return result;
}

QPen dashed(const QColor& color) {
    QPen pen(color, 1);
    pen.setDashPattern({4, 3});
    return pen;
}

} // namespace

void CanvasPainter::photo(QPainter& painter, const PhotoCanvasModel& model) {
    const auto& layout = model.layout;
    if (!model.displayImage || !layout.hasImage()) return;
    const QImage image = borrowed(model.displayImage);
    const QRectF fitted(-layout.fittedSize.width / 2, -layout.fittedSize.height / 2, layout.fittedSize.width,
                        layout.fittedSize.height);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(layout.area.width / 2 + layout.zoom.offset.width,
                      layout.area.height / 2 + layout.zoom.offset.height);
    painter.scale(layout.zoom.scale, layout.zoom.scale);
    if (model.cropInsideOnly) {
        // Only the crop shows: a frame of the content size clips the turned, shifted photo.
        painter.setClipRect(QRectF(-layout.contentSize.width / 2, -layout.contentSize.height / 2,
                                   layout.contentSize.width, layout.contentSize.height));
        painter.translate(layout.centringOffset.width, layout.centringOffset.height);
    }
    painter.rotate(model.rotation);
    painter.drawImage(fitted, image);
    painter.restore();
}

void CanvasPainter::clippingWarning(QPainter& painter, const PhotoCanvasModel& model) {
    if (!model.clippingWarningImage) return;
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawImage(qt(model.guideGeometry.remainingRect()), borrowed(model.clippingWarningImage));
    painter.restore();
}

void CanvasPainter::cropGuide(QPainter& painter, const PhotoCanvasModel& model) {
    if (!model.showsCropGuide) return;
    const auto& guide = model.guideGeometry;
    const QRectF kept = qt(guide.remainingRect());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (model.cropGuideShowsMask) {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        const auto corners = guide.rotatedPhotoPolygon();
        QPolygonF outline;
        for (const Point& p : corners)
            outline << qt(p);
        outline << qt(corners[0]);
        path.addPolygon(outline);
        path.addRect(kept);
        painter.fillPath(path, QColor(0, 0, 0, 179));
        painter.setPen(QPen(withAlpha(Qt::white, 0.6), 1));
        painter.drawRect(kept);
    }
    if (model.cropGuideShowsGrid) {
        painter.setPen(QPen(withAlpha(Qt::white, 0.4), 1));
        for (const auto& line : guide.gridLines())
            strokeSegment(painter, line);
    }
    painter.restore();
}

void CanvasPainter::circularMaskGuide(QPainter& painter, const CircularMaskOverlayModel& model) {
    const auto& g = model.geometry;
    const double knobOpacity = model.aspect == 0 ? 0.4 : 1.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kCircularGuide, 1.5));
    painter.drawPolyline(polygon(g.ellipsePath(1)));
    if (g.feather != 0 && g.outerAxisA > 0) {
        painter.setPen(dashed(withAlpha(kCircularGuide, 0.5)));
        painter.drawPolyline(polygon(g.ellipsePath(1 - g.feather)));
    }
    painter.setPen(QPen(withAlpha(kCircularGuide, knobOpacity * 0.5), 1));
    strokeSegment(painter, g.rotationConnector());
    painter.setPen(QPen(kCircularGuide, 1));
    for (const auto& whisker : model.whiskers())
        strokeSegment(painter, whisker);
    for (const Point& center : g.handleCenters())
        handle(painter, center, kCircularGuide, 1);
    handle(painter, g.rotationKnob(), kCircularGuide, knobOpacity);
    painter.restore();
}

void CanvasPainter::linearMaskGuide(QPainter& painter, const LinearMaskOverlayModel& model) {
    const auto& g = model.geometry;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kLinearGuide, 1.5));
    strokeSegment(painter, g.centerLine);
    painter.setPen(dashed(withAlpha(kLinearGuide, 0.5)));
    if (g.zeroLine) strokeSegment(painter, *g.zeroLine);
    if (g.oneLine) strokeSegment(painter, *g.oneLine);
    painter.setPen(QPen(kLinearGuide, 1));
    for (const auto& whisker : model.whiskers())
        strokeSegment(painter, whisker);
    painter.setPen(QPen(withAlpha(kLinearGuide, 0.5), 1));
    painter.drawLine(qt(model.midpoint()), qt(model.angleHandleCenter()));
    for (const Point& center : model.handleCenters())
        handle(painter, center, kLinearGuide, 1);
    painter.restore();
}

void CanvasPainter::statusStrip(QPainter& painter, const PhotoCanvasModel& model, double areaHeight) {
    if (model.statusItems.empty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = SorvinLook::font(12);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const double height = metrics.height() + 8;
    double x = 12;
    const double y = areaHeight - 12 - height;
    for (const auto& item : model.statusItems) {
        const QString text = QString::fromStdString(item);
        const double width = metrics.horizontalAdvance(text) + 16;
        QPainterPath pill;
        pill.addRoundedRect(QRectF(x, y, width, height), 6, 6);
        painter.fillPath(pill, QColor(0, 0, 0, 179));
        painter.setPen(Qt::white);
        painter.drawText(QRectF(x, y, width, height), Qt::AlignCenter, text);
        x += width + 8;
    }
    painter.restore();
}

void CanvasPainter::loupe(QPainter& painter, const PhotoCanvasModel& model, double side) {
    if (!model.loupe || side <= 0) return;
    const QRectF square(model.loupeCenter.x - side / 2, model.loupeCenter.y - side / 2, side, side);
    QPainterPath shape;
    shape.addRoundedRect(square, LoupeGeometry::kCornerRadius, LoupeGeometry::kCornerRadius);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QImage& shadow = loupeShadow(static_cast<int>(std::lround(side)));
    const double reach = (shadow.width() - std::lround(side)) / 2.0;
    painter.drawImage(
        square.translated(0, LoupeGeometry::kShadowOffsetY).adjusted(-reach, -reach, reach, reach), shadow);
    painter.fillPath(shape, SorvinColor::background());
    if (model.loupeImage) {
        painter.save();
        painter.setClipPath(shape);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        const double m = model.loupe->displayScale();
        const Point o = model.loupe->regionCenterOffset();
        painter.translate(square.center().x() + o.x, square.center().y() + o.y);
        painter.rotate(model.rotation);
        const double w = model.loupeImage->width() * m;
        const double h = model.loupeImage->height() * m;
        painter.drawImage(QRectF(-w / 2, -h / 2, w, h), borrowed(model.loupeImage));
        painter.restore();
    }
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();
}

void CanvasPainter::loadingNote(QPainter& painter, double areaWidth) {
    painter.save();
    painter.setFont(SorvinLook::font(11));
    painter.setPen(SorvinColor::secondaryText());
    painter.drawText(QRectF(12, 12, areaWidth - 24, 40), Qt::AlignTop | Qt::AlignRight, "読み込み中…");
    painter.restore();
}

void CanvasPainter::heartFeedback(QPainter& painter, const PhotoCanvasModel& model, double opacity,
                                  double width, double height) {
    if (!model.heartFeedback || opacity <= 0) return;
    const bool added = model.heartFeedback->kind == HeartFeedbackKind::added;
    painter.save();
    painter.setOpacity(opacity);
    painter.setFont(SorvinLook::font(96));
    painter.setPen(added ? SorvinColor::accent() : SorvinColor::text());
    painter.drawText(QRectF(0, 0, width, height), Qt::AlignCenter, added ? "♥" : "♡");
    painter.restore();
}

void CanvasPainter::failureNote(QPainter& painter, double areaHeight, const QString& text) {
    painter.save();
    painter.setFont(SorvinLook::font(SorvinLook::bodyPixelSize));
    painter.setPen(SorvinColor::text());
    const QFontMetricsF metrics(painter.font());
    painter.drawText(QPointF(0, areaHeight - metrics.descent()), text);
    painter.restore();
}

} // namespace sorvin
