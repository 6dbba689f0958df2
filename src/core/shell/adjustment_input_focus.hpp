#pragma once

#include "platform/signal.hpp"
#include "shell/adjustment_input_field.hpp"

#include <optional>

namespace sorvin {

// The one focus value of the browsing screen's numeric fields, shared by the adjustment panel and
// the crop and rotation bar. The screen owns it; every change is announced with the new value.
class AdjustmentInputFocus {
public:
    const std::optional<AdjustmentInputField>& field() const { return field_; }
    bool isFocused() const { return field_.has_value(); }
    bool holds(const AdjustmentInputField& field) const { return field_ == field; }

    void set(std::optional<AdjustmentInputField> field) {
        if (field == field_) return;
        field_ = field;
        changed.emit(field_);
    }
    void clear() { set(std::nullopt); }

    Signal<std::optional<AdjustmentInputField>> changed;

private:
    std::optional<AdjustmentInputField> field_;
};

} // namespace sorvin
