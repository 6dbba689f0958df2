#pragma once

#include <QValidator>

class QLineEdit;

namespace sorvin {

// Holds a preset's name field to the name's length limit, counted in characters as the user
// sees them, as a field with a maximum length does: an edit that would pass the limit is
// refused, leaving the text, the cursor and the undo steps as they were; of a longer paste only
// its first characters that fit are kept (the field then starts its undo steps afresh, as Qt does
// for a validator's change). It installs itself on the field and follows its text.
class ParameterPresetNameValidator : public QValidator {
public:
    explicit ParameterPresetNameValidator(QLineEdit* field);

    State validate(QString& input, int& pos) const override;

private:
    // The field's text before the edit being validated.
    QString accepted_;
};

} // namespace sorvin
