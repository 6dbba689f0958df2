#include "ui/panel/parameter_preset_name_validator.hpp"

#include "panel/parameter_preset_save_sheet_model.hpp"
#include "platform/grapheme_text.hpp"

#include <QLineEdit>
#include <algorithm>

namespace sorvin {

namespace {

std::size_t characters(const QString& text) { return GraphemeText::count(text.toStdString()); }

} // namespace

ParameterPresetNameValidator::ParameterPresetNameValidator(QLineEdit* field)
    : QValidator(field), accepted_(field->text()) {
    field->setValidator(this);
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) { accepted_ = text; });
}

QValidator::State ParameterPresetNameValidator::validate(QString& input, int& pos) const {
    constexpr std::size_t limit = ParameterPresetSaveSheetModel::fieldLimit;
    // A name that somehow came in longer may still be shortened.
    if (characters(input) <= std::max(limit, characters(accepted_))) return Acceptable;

    // What was typed, pasted or dropped ends at the cursor; before it the text starts as it did,
    // after it the text ends as it did.
    const qsizetype tailSize = input.size() - pos;
    if (pos < 0 || tailSize < 0 || tailSize > accepted_.size() ||
        !accepted_.endsWith(QStringView(input).sliced(pos)))
        return Invalid;
    const qsizetype headEnd = std::min<qsizetype>(pos, accepted_.size() - tailSize);
    qsizetype start = 0;
    while (start < headEnd && input[start] == accepted_[start])
        ++start;
    const QString head = input.first(start);
    const QString tail = input.sliced(pos);
    const std::string inserted = input.sliced(start, pos - start).toStdString();

    // The first characters of the insertion that fit; a character may join its neighbour, so a
    // few more than the room left are tried.
    const std::size_t insertedCount = GraphemeText::count(inserted);
    if (insertedCount == 0) return Invalid;
    for (std::size_t kept = std::min(insertedCount - 1, limit + 2); kept > 0; --kept) {
        const QString part = QString::fromStdString(GraphemeText::prefix(inserted, kept));
        const QString candidate = head + part + tail;
        if (characters(candidate) <= limit) {
            input = candidate;
            pos = int(head.size() + part.size());
            return Acceptable;
        }
    }
    return Invalid;
}

} // namespace sorvin
