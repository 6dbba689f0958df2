#pragma once

#include <QLabel>

namespace sorvin {

// A one-line label whose text, when it is wider than the label, is drawn smaller, down to a
// minimum fraction of its size, and, where tightening is allowed and that is not enough, with
// its letters as much closer as it needs, up to 9 %, before it is cut at the end.
class ShrinkingLabel : public QLabel {
public:
    explicit ShrinkingLabel(double minimumScale, bool allowsTightening = false, QWidget* parent = nullptr);

    double minimumScale() const { return minimumScale_; }
    // How the text is drawn in the label's present width: in this font, scaled by this factor.
    struct Fitting {
        QFont font;
        double scale;
        QString shown; // the text as drawn: whole, or cut at the end
    };
    Fitting fitting() const;
    // Whether the text is drawn whole in the label's present width.
    bool fits() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double minimumScale_;
    bool allowsTightening_;
};

} // namespace sorvin
