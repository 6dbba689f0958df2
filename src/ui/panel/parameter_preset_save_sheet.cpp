#include "ui/panel/parameter_preset_save_sheet.hpp"

#include "app/app_state.hpp"
#include "view/panel_colors.hpp"
#include "panel/parameter_preset_save_sheet_model.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_preset_name_validator.hpp"
#include "ui/panel/shrinking_label.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace sorvin {

ParameterPresetSaveSheet::ParameterPresetSaveSheet(AppState& state, QWidget* parent)
    : QDialog(parent), state_(state), name_(new QLineEdit(this)), notice_(new ShrinkingLabel(ParameterPresetSaveSheetModel::noticeMinimumScale, false, this)),
      save_(new QPushButton(QStringLiteral("保存"), this)) {
    setWindowTitle(qText(ParameterPresetSaveSheetModel::title));
    setFixedSize(420, 200);
    setStyleSheet(QStringLiteral("QLabel { color: %1; }").arg(qColor(PanelColors::text).name()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(10);
    auto* title = new QLabel(qText(ParameterPresetSaveSheetModel::title), this);
    title->setFont(SorvinLook::font(15, QFont::Bold));
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    auto* nameRow = new QHBoxLayout;
    nameRow->setSpacing(8);
    nameRow->addWidget(new QLabel(QStringLiteral("名前:"), this));
    name_->setFixedWidth(280);
    nameRow->addWidget(name_);
    nameRow->addStretch(1);
    layout->addLayout(nameRow);
    auto* description =
        new QLabel(QString::fromStdString(ParameterPresetSaveSheetModel::description()), this);
    description->setTextFormat(Qt::PlainText);
    description->setFont(SorvinLook::font(11));
    description->setStyleSheet(QStringLiteral("color: %1").arg(qColor(PanelColors::secondaryText).name()));
    layout->addWidget(description);
    notice_->setFont(SorvinLook::font(11));
    notice_->setMinimumHeight(13);
    layout->addWidget(notice_);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    for (QPushButton* b : {cancel, save_}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    new ParameterPresetNameValidator(name_);
    connect(name_, &QLineEdit::textEdited, this, [this] { refresh(); });
    connect(name_, &QLineEdit::returnPressed, this, [this] { saveIfPossible(); });
    connect(save_, &QPushButton::clicked, this, [this] { saveIfPossible(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    refresh();
    QTimer::singleShot(0, name_, [this] { name_->setFocus(); });
}

void ParameterPresetSaveSheet::refresh() {
    const ParameterPresetSaveFormState form(name_->text().toStdString(), state_.presets());
    save_->setEnabled(form.canSave);
    // The line keeps its height with no notice, so nothing else moves.
    if (form.notice) {
        notice_->setText(qText(ParameterPresetSaveFormState::noticeText(*form.notice)));
        notice_->setStyleSheet(
            QStringLiteral("color: %1")
                .arg(qColor(*ParameterPresetSaveSheetModel::noticeColor(form.notice)).name()));
    } else {
        notice_->setText(QStringLiteral(" "));
    }
}

void ParameterPresetSaveSheet::saveIfPossible() {
    const ParameterPresetSaveFormState form(name_->text().toStdString(), state_.presets());
    if (!form.canSave) return;
    // Another copy of the program may have filled the list meanwhile: the sheet then stays and
    // says so.
    if (state_.savePreset(name_->text().toStdString()).kind == ParameterPresetSaveResult::Kind::unavailable)
        refresh();
}

void ParameterPresetSaveSheet::reject() {
    state_.setPresetSavePresented(false);
    if (!state_.commandCheatSheetIsAllowed()) state_.resetCommandCheatSheetTracking();
}

} // namespace sorvin
