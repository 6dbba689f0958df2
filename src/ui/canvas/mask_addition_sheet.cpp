#include "ui/canvas/mask_addition_sheet.hpp"

#include "app/app_state.hpp"
#include "model/mask_kind_catalog.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace sorvin {

MaskAdditionSheet::MaskAdditionSheet(AppState& state, QWidget* parent) : QDialog(parent), state_(state) {
    setWindowTitle("マスクを追加");
    setFixedWidth(280);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);
    auto* title = new QLabel("マスクを追加", this);
    title->setTextFormat(Qt::PlainText);
    title->setFont(SorvinLook::font(16, QFont::DemiBold));
    column->addWidget(title);

    auto* kinds = new QVBoxLayout();
    kinds->setSpacing(8);
    for (const auto& definition : MaskKindCatalog::current().definitions) {
        auto* button = new QPushButton(QString::fromStdString(definition.displayName), this);
        button->setAutoDefault(false);
        const MaskKind kind = definition.kind;
        connect(button, &QPushButton::clicked, this, [this, kind] {
            state_.addMask(kind);
            // The state closes the sheet once the mask is there; four masks keep it open.
            if (!state_.isMaskAddPresented()) accept();
        });
        kinds->addWidget(button, 0, Qt::AlignLeft);
    }
    column->addLayout(kinds);

    auto* row = new QHBoxLayout();
    row->addStretch();
    auto* cancel = new QPushButton("やめる（Esc）", this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &MaskAdditionSheet::reject);
    row->addWidget(cancel);
    column->addLayout(row);
}

void MaskAdditionSheet::reject() {
    state_.setMaskAddPresented(false);
    if (!state_.commandCheatSheetIsAllowed()) state_.resetCommandCheatSheetTracking();
    QDialog::reject();
}

} // namespace sorvin
