#include "panel/parameter_value_entry.hpp"

#include "view/adjustment_input.hpp"

namespace sorvin {

ParameterValueEntry::ParameterValueEntry(AdjustmentInputFocus& focus, Actions actions)
    : focus_(focus), actions_(std::move(actions)) {
    connection_ = focus_.changed.connect(
        [this](const std::optional<AdjustmentInputField>& field) { focusChanged(field); });
}

void ParameterValueEntry::beginEditing(PhotoParameter parameter, int value) {
    originalValue_ = value;
    editingText_ = ParameterCatalog::displayText(parameter, value);
    cancelledParameter_.reset();
    // Named before the focus moves, so that text typed into another field is dropped, not committed.
    previousFocusedParameter_ = parameter;
    focus_.set(AdjustmentInputField::parameter(parameter));
}

void ParameterValueEntry::submit(PhotoParameter parameter) {
    commit(parameter);
    previousFocusedParameter_.reset();
    focus_.clear();
}

void ParameterValueEntry::cancel(PhotoParameter parameter) {
    editingText_ = ParameterCatalog::displayText(parameter, originalValue_);
    cancelledParameter_ = parameter;
    previousFocusedParameter_.reset();
    focus_.clear();
}

void ParameterValueEntry::discard() {
    forgetEditing();
    focus_.abandon();
}

void ParameterValueEntry::forgetEditing() {
    previousFocusedParameter_.reset();
    cancelledParameter_.reset();
}

void ParameterValueEntry::commit(PhotoParameter parameter) {
    const int value = AdjustmentInput::parameter(editingText_, parameter, actions_.currentValue(parameter));
    actions_.setValue(parameter, value);
    editingText_ = ParameterCatalog::displayText(parameter, value);
}

void ParameterValueEntry::focusChanged(const std::optional<AdjustmentInputField>& field) {
    const std::optional<PhotoParameter> next = field ? field->parameterValue() : std::nullopt;
    if (focus_.isAbandoning()) forgetEditing();
    if (previousFocusedParameter_ && previousFocusedParameter_ != next) {
        if (cancelledParameter_ != previousFocusedParameter_) commit(*previousFocusedParameter_);
        cancelledParameter_.reset();
    }
    previousFocusedParameter_ = next;
}

} // namespace sorvin
