#pragma once

#include "loading/histogram_data.hpp"

#include <QImage>
#include <QWidget>
#include <optional>

namespace sorvin {

// The RGB histogram: translucent bars of the three channels over a dark ground, with a mark on
// the bins cut at the top.
class HistogramGraphView : public QWidget {
public:
    explicit HistogramGraphView(QWidget* parent);
    void setData(std::optional<HistogramData> data, double width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The channels' bars and marks over a clear ground, at the screen's scale. Made once for each
    // histogram and width: an antialiased path of hundreds of bars took Qt 10-30 ms to fill at every
    // paint of the graph.
    const QImage& bars();

    std::optional<HistogramData> data_;
    double width_ = 196;
    QImage bars_; // null when it must be made again
};

} // namespace sorvin
