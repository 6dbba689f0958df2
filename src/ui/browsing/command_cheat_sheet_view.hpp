#pragma once

#include <QWidget>
#include <map>
#include <optional>
#include <string>

namespace sorvin {

// The picture of the keyboard that tells what Ctrl plus each key does, scaled to the space it is
// given.
class CommandCheatSheetView : public QWidget {
public:
    explicit CommandCheatSheetView(QWidget* parent);

    void setVisibleLabels(std::map<std::string, std::string> labels);
    const std::map<std::string, std::string>& visibleLabels() const { return labels_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void paintKeyCap(class QPainter& painter, double x, double y, const std::string& key);

    std::map<std::string, std::string> labels_;
};

} // namespace sorvin
