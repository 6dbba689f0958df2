#pragma once

#include "model/photo_parameter.hpp"
#include "view/adjustment_input_focus.hpp"

#include <functional>
#include <optional>
#include <string>

namespace sorvin {

// Typed value entry of the panel's slot columns: a click on a value opens a field for it, Return
// commits, Esc abandons, and focus moving elsewhere commits. One entry serves the whole panel; at
// most one field edits at a time.
class ParameterValueEntry {
public:
    struct Actions {
        // The value in force for the current photo and edit target.
        std::function<int(PhotoParameter)> currentValue;
        // Sets a value through the application state.
        std::function<void(PhotoParameter, int)> setValue;
    };

    ParameterValueEntry(AdjustmentInputFocus& focus, Actions actions);
    ParameterValueEntry(const ParameterValueEntry&) = delete;
    ParameterValueEntry& operator=(const ParameterValueEntry&) = delete;

    const std::string& editingText() const { return editingText_; }
    void setEditingText(std::string text) { editingText_ = std::move(text); }
    bool isEditing(PhotoParameter parameter) const {
        return focus_.holds(AdjustmentInputField::parameter(parameter));
    }

    // A click on a value label: the field opens with the value's ordinary text.
    void beginEditing(PhotoParameter parameter, int value);
    // Return in the field.
    void submit(PhotoParameter parameter);
    // Esc in the field: the text goes back to the value editing began with, nothing is sent.
    void cancel(PhotoParameter parameter);
    // The photo, its copy or the edit target changed: anything typed is dropped without a commit.
    void discard();
    // The same without touching the focus, for a host that clears the shared focus itself.
    void forgetEditing();

    std::optional<PhotoParameter> previousFocusedParameter() const { return previousFocusedParameter_; }

private:
    void commit(PhotoParameter parameter);
    void focusChanged(const std::optional<AdjustmentInputField>& field);

    AdjustmentInputFocus& focus_;
    Actions actions_;
    std::string editingText_;
    int originalValue_ = 0;
    std::optional<PhotoParameter> previousFocusedParameter_;
    std::optional<PhotoParameter> cancelledParameter_;
    Signal<std::optional<AdjustmentInputField>>::Connection connection_;
};

} // namespace sorvin
