#pragma once

#include "model/photo_parameter.hpp"
#include "panel/parameter_panel_vertical_metrics.hpp"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>

class QLabel;
class QLineEdit;

namespace sorvin {

class DimmingVeil;
class ParameterKeyCap;
class VerticalParameterSlider;

// One column of the panel's slot row: increase key cap, slider, decrease key cap, the value (a
// field while it is being typed) and the parameter's name. An empty column draws nothing.
class ParameterSlotColumnView : public QWidget {
public:
    struct Input {
        std::optional<PhotoParameter> parameter;
        int slot = 0;
        int value = 0;
        QString labelText;
        bool isEditing = false;
        QString editingText;
        double opacity = 1;
        std::set<std::uint16_t> heldKeys;
        ParameterPanelVerticalMetrics metrics;
    };
    struct Actions {
        std::function<void(PhotoParameter, int)> adjust;
        std::function<void(PhotoParameter, int)> setValue;
        std::function<void(PhotoParameter)> reset;
        std::function<void(PhotoParameter, int)> beginEditing;
        std::function<void(const QString&)> textEdited;
        std::function<void(PhotoParameter)> submit;
        std::function<void(PhotoParameter)> cancel;
        // The field lost the keyboard to something that is no field.
        std::function<void(PhotoParameter)> fieldLeft;
    };

    ParameterSlotColumnView(Actions actions, QWidget* parent = nullptr);
    void setInput(const Input& input);

    VerticalParameterSlider* slider() const { return slider_; }
    ParameterKeyCap* increaseCap() const { return increase_; }
    ParameterKeyCap* decreaseCap() const { return decrease_; }
    QLabel* valueLabel() const { return value_; }
    QLineEdit* valueField() const { return field_; }
    QLabel* nameLabel() const { return name_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutParts();
    void applyCap(ParameterKeyCap* cap, bool increases);

    Actions actions_;
    Input input_;
    ParameterKeyCap* increase_;
    VerticalParameterSlider* slider_;
    ParameterKeyCap* decrease_;
    QLabel* value_;
    QLineEdit* field_;
    QLabel* name_;
    DimmingVeil* veil_;
};

} // namespace sorvin
