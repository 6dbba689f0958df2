#include "ui/panel/parameter_slot_column_view.hpp"

#include "view/panel_colors.hpp"
#include "panel/parameter_slot_column.hpp"
#include "shell/keyboard_maps.hpp"
#include "ui/overlays/dimming_veil.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_key_cap.hpp"
#include "ui/panel/shrinking_label.hpp"
#include "ui/panel/vertical_parameter_slider.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>

namespace sorvin {

ParameterSlotColumnView::ParameterSlotColumnView(Actions actions, QWidget* parent)
    : QWidget(parent), actions_(std::move(actions)), increase_(new ParameterKeyCap(this)),
      slider_(new VerticalParameterSlider(this)), decrease_(new ParameterKeyCap(this)),
      value_(new ShrinkingLabel(ParameterSlotColumn::textMinimumScale, false, this)),
      field_(new QLineEdit(this)), name_(new ShrinkingLabel(ParameterSlotColumn::textMinimumScale, true, this)) {
    // The column stands on the panel's background.
    veil_ = new DimmingVeil(qColor(PanelColors::background), this);
    for (QLabel* label : {value_, name_})
        label->setAlignment(Qt::AlignCenter);
    value_->setFont(SorvinLook::font(12));
    value_->setStyleSheet(QStringLiteral("color: %1").arg(qColor(PanelColors::text).name()));
    value_->installEventFilter(this);
    name_->setFont(SorvinLook::font(10));
    name_->setContentsMargins(ParameterSlotColumn::nameInset, 0, ParameterSlotColumn::nameInset, 0);
    name_->setStyleSheet(QStringLiteral("color: %1").arg(qColor(PanelColors::secondaryText).name()));
    field_->setFont(SorvinLook::font(12));
    field_->setAlignment(Qt::AlignCenter);
    field_->setFrame(false);
    field_->setStyleSheet(
        QStringLiteral("QLineEdit { color: %1; background: transparent; border: 1px solid %2; "
                       "border-radius: 3px; padding: 0; }")
            .arg(qColor(PanelColors::text).name(), qColor(PanelColors::accent).name()));
    field_->installEventFilter(this);
    field_->hide();
    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) { actions_.textEdited(text); });

    increase_->action = [this] {
        if (input_.parameter)
            actions_.adjust(*input_.parameter, ParameterSlotColumn::keyStep(*input_.parameter, true));
    };
    decrease_->action = [this] {
        if (input_.parameter)
            actions_.adjust(*input_.parameter, ParameterSlotColumn::keyStep(*input_.parameter, false));
    };
    slider_->setValue = [this](int value) {
        if (input_.parameter) actions_.setValue(*input_.parameter, value);
    };
    slider_->reset = [this] {
        if (input_.parameter) actions_.reset(*input_.parameter);
    };
}

void ParameterSlotColumnView::applyCap(ParameterKeyCap* cap, bool increases) {
    if (input_.slot > 9 || input_.slot < 0) {
        cap->setCap(QString(), false, false);
        cap->setVisible(false);
        return;
    }
    cap->setVisible(true);
    const ParameterKeyBinding& row = ParameterKeyBinding::bindings[static_cast<std::size_t>(input_.slot)];
    const std::uint16_t code = increases ? row.increaseCode : row.decreaseCode;
    std::string_view label;
    if (const auto known = ParameterKeyBinding::label(code)) {
        label = *known;
    } else if (const int slot = ParameterCatalog::slot(*input_.parameter); slot >= 0 && slot <= 9) {
        const ParameterKeyBinding& own = ParameterKeyBinding::bindings[static_cast<std::size_t>(slot)];
        label = increases ? own.increaseLabel : own.decreaseLabel;
    }
    cap->setCap(qText(label), true, input_.heldKeys.contains(code));
}

void ParameterSlotColumnView::setInput(const Input& input) {
    input_ = input;
    const bool implemented = input_.parameter.has_value();
    for (QWidget* part : std::initializer_list<QWidget*>{increase_, slider_, decrease_, value_, name_})
        part->setVisible(implemented);
    veil_->setOpacity(implemented ? input_.opacity : 1);
    if (!implemented) {
        field_->hide();
        return;
    }
    const PhotoParameter p = *input_.parameter;
    applyCap(increase_, true);
    applyCap(decrease_, false);
    slider_->setInput({input_.value, ParameterCatalog::minimum(p), ParameterCatalog::maximum(p),
                       ParameterCatalog::defaultValue(p), ParameterCatalog::showsDefaultMark(p)});
    value_->setText(input_.labelText);
    name_->setText(qText(ParameterCatalog::name(p)));
    if (input_.isEditing) {
        if (field_->text() != input_.editingText) field_->setText(input_.editingText);
        value_->hide();
        field_->show();
        if (!field_->hasFocus()) field_->setFocus(Qt::OtherFocusReason);
    } else {
        field_->hide();
        value_->show();
    }
    layoutParts();
}

void ParameterSlotColumnView::layoutParts() {
    const auto& m = input_.metrics;
    const int w = width();
    increase_->setGeometry(0, 0, w, 18);
    slider_->setGeometry(QRectF(0, m.sliderTop(), w, m.trackHeight).toRect());
    decrease_->setGeometry(QRectF(0, m.bottomKeyCapTop(), w, 18).toRect());
    value_->setGeometry(QRectF(0, m.valueTop(), w, 15).toRect());
    field_->setGeometry(QRectF(2, m.valueTop(), w - 4, 15).toRect());
    name_->setGeometry(QRectF(0, m.nameTop(), w, 15).toRect());
}

bool ParameterSlotColumnView::eventFilter(QObject* watched, QEvent* event) {
    if (!input_.parameter) return false;
    const PhotoParameter p = *input_.parameter;
    if (watched == value_ && event->type() == QEvent::MouseButtonPress) {
        actions_.beginEditing(p, input_.value);
        return true;
    }
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            actions_.submit(p);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            actions_.cancel(p);
            return true;
        }
    }
    if (watched == field_ && event->type() == QEvent::FocusOut && input_.isEditing) actions_.fieldLeft(p);
    return false;
}

} // namespace sorvin
