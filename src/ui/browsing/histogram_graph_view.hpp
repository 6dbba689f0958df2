#pragma once

#include "loading/histogram_data.hpp"

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
    std::optional<HistogramData> data_;
    double width_ = 196;
};

} // namespace sorvin
