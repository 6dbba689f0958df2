#pragma once

#include "platform/srgb_color.hpp"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <functional>
#include <string_view>

namespace sorvin {

inline QColor qColor(SrgbColor c) {
    return QColor(c.red, c.green, c.blue);
}

inline QString qText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A flat button drawn as the panel draws its controls: a rounded face with a name and, optionally,
// a smaller key text after it, each in its own colour. The pointer turns into a hand over it while
// it is enabled and `pointsWhenEnabled` is set.
class PanelButton : public QAbstractButton {
public:
    struct Face {
        QString name;
        QFont nameFont;
        QColor nameColor;
        QString key;
        QFont keyFont;
        QColor keyColor;
        QColor background;
        int leftPadding = 10;
        int rightPadding = 10;
        int height = 22;
        double radius = 5;
        bool operator==(const Face&) const = default;
    };

    explicit PanelButton(QWidget* parent = nullptr);
    // Whether the face changed.
    bool setFace(const Face& face);
    const Face& face() const { return face_; }
    void setPointsWhenEnabled(bool on);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void updateCursor();
    Face face_;
    bool pointsWhenEnabled_ = false;
};

} // namespace sorvin
