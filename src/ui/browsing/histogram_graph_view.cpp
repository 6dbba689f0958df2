#include "ui/browsing/histogram_graph_view.hpp"

#include "shell/exif_panel_model.hpp"
#include "ui/browsing/view_colors.hpp"

#include <QPainter>
#include <cmath>

namespace sorvin {

HistogramGraphView::HistogramGraphView(QWidget* parent) : QWidget(parent) {
    setFixedSize(static_cast<int>(width_), static_cast<int>(ExifPanelLayout::graphHeight));
}

void HistogramGraphView::setData(std::optional<HistogramData> data, double width) {
    if (data == data_ && width == width_) return;
    data_ = std::move(data);
    bars_ = QImage();
    width_ = width;
    setFixedSize(static_cast<int>(std::lround(width_)), static_cast<int>(ExifPanelLayout::graphHeight));
    update();
}

void HistogramGraphView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRectF bounds(0, 0, width_, ExifPanelLayout::graphHeight);
    painter.fillRect(bounds, toQColor(ViewPalette::graphBackground));
    if (data_) painter.drawImage(QPointF(0, 0), bars());
    painter.setPen(QPen(toQColor(ViewPalette::graphBorder), 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
}

const QImage& HistogramGraphView::bars() {
    const double scale = devicePixelRatioF();
    if (!bars_.isNull() && bars_.devicePixelRatio() == scale) return bars_;
    const int width = static_cast<int>(std::lround(width_ * scale));
    const int height = static_cast<int>(std::lround(ExifPanelLayout::graphHeight * scale));
    bars_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    bars_.fill(Qt::transparent);
    // Each fill is laid over the ones before it in 8-bit premultiplied pixels, as a painter does.
    const auto times = [](QRgb pixel, int share) {
        const auto channel = [share](int value) {
            const int product = value * share + 128;
            return (product + (product >> 8)) >> 8;
        };
        return qRgba(channel(qRed(pixel)), channel(qGreen(pixel)), channel(qBlue(pixel)),
                     channel(qAlpha(pixel)));
    };
    const auto fill = [&](const std::vector<Rect>& rects, const ViewColor& color) {
        if (rects.empty()) return;
        const std::vector<float> covered = HistogramGraphGeometry::coverage(rects, width, height, scale);
        const QRgb full = qPremultiply(toQColor(color).rgba());
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(bars_.scanLine(y));
            const float* shares =
                covered.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
            for (int x = 0; x < width; ++x) {
                const int share = static_cast<int>(shares[x] * 255 + 0.5f);
                if (share == 0) continue;
                const QRgb source = share == 255 ? full : times(full, share);
                line[x] = source + times(line[x], 255 - qAlpha(source));
            }
        }
    };
    for (const auto& channel : HistogramGraphGeometry::make(data_, width_)) {
        fill(channel.bars, channel.color.withOpacity(HistogramGraphGeometry::barOpacity));
        fill(channel.marks, channel.color);
    }
    bars_.setDevicePixelRatio(scale);
    return bars_;
}

} // namespace sorvin
