#pragma once

#include "platform/signal.hpp"
#include "view/adjustment_input_field.hpp"

#include <optional>

namespace sorvin {

// The one focus value of the browsing screen's numeric fields, shared by the adjustment panel and
// the crop and rotation bar. The screen owns it; every change is announced with the new value.
//
// Focus that leaves a field applies what was typed there, with one exception: when the photo (or
// its copy, or the panel's edit target) changes under a field, the typed text belonged to the old
// one and is dropped. That change clears the focus with abandon(), and every listener asks
// isAbandoning() before it applies anything, so no order among the listeners can carry the
// half-typed value over to the photo now shown.
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
    void abandon() {
        abandoning_ = true;
        clear();
        abandoning_ = false;
    }
    bool isAbandoning() const { return abandoning_; }

    Signal<std::optional<AdjustmentInputField>> changed;

private:
    std::optional<AdjustmentInputField> field_;
    bool abandoning_ = false;
};

} // namespace sorvin
