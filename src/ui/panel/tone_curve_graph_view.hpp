#pragma once

#include "panel/tone_curve_graph_model.hpp"

#include <QWidget>
#include <optional>

namespace sorvin {

// The tone curve graph of a curve page: drawn at 160 x 160 and scaled to the widget, which overhangs
// the graph by the marker inset (scaled alike) on every side.
class ToneCurveGraphView : public QWidget {
public:
    explicit ToneCurveGraphView(QWidget* parent = nullptr);
    void setModel(const std::optional<ToneCurveGraphModel>& model);
    const std::optional<ToneCurveGraphModel>& model() const { return model_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<ToneCurveGraphModel> model_;
};

} // namespace sorvin
