#pragma once

#include <QLabel>

namespace sorvin {

// A one-line label that gives way to its neighbours: a text wider than the label is cut and ends
// with an ellipsis. Where the text names something in a sentence, only the name is cut, so that
// the words around it stay whole.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    // The text, and the part of it that is cut first (none: the text is cut at its end).
    void setText(const QString& text, const QString& cutPart = {});
    // The text as drawn in the label's present width.
    QString shownText() const;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString cutPart_;
};

} // namespace sorvin
