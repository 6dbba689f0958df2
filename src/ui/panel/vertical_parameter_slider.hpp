#pragma once

#include <QWidget>
#include <functional>

namespace sorvin {

// The vertical slider of one slot column. It draws what it is given and reports every drag change
// (the press included) as a value; a double click on the thumb asks for the default.
class VerticalParameterSlider : public QWidget {
public:
    struct Input {
        int value = 0;
        int lower = -100;
        int upper = 100;
        int defaultValue = 0;
        bool showsDefaultMark = true;
        bool operator==(const Input&) const = default;
    };

    explicit VerticalParameterSlider(QWidget* parent = nullptr);
    void setInput(const Input& input);
    const Input& input() const { return input_; }

    std::function<void(int)> setValue;
    std::function<void()> reset;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void drag(double y);
    Input input_;
};

} // namespace sorvin
