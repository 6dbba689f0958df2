#pragma once

#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sorvin {

// The picture of the keyboard that tells what Ctrl plus each key does, scaled to the space it is
// given.
class CommandCheatSheetView : public QWidget {
public:
    explicit CommandCheatSheetView(QWidget* parent);

    void setVisibleLabels(std::map<std::string, std::string> labels);
    const std::map<std::string, std::string>& visibleLabels() const { return labels_; }
    // The labels too long for their cap even at their smallest, which are drawn cut.
    std::vector<std::string> cutLabels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Fitted {
        double scale;
        QString text;
    };
    // A label's scale and the text drawn in the width a cap has for it (2 points in on each side).
    static constexpr double labelRoom = 40;
    static QFont labelFont();
    static Fitted fit(const std::string& label);
    void paintKeyCap(class QPainter& painter, double x, double y, const std::string& key);

    std::map<std::string, std::string> labels_;
};

} // namespace sorvin
