#include "ui/panel/parameter_preset_organizer_sheet.hpp"

#include "app/app_state.hpp"
#include "view/panel_colors.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_preset_name_validator.hpp"
#include "ui/platform/elided_label.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace sorvin {

// The application state's preset operations for the organiser.
class ParameterPresetOrganizerSheet::Host final : public ParameterPresetOrganizerHost {
public:
    explicit Host(AppState& state) : state_(state) {}
    const std::vector<ParameterPreset>& presets() const override { return state_.presets(); }
    ParameterPresetRenameResult renamePreset(int index, std::string_view name) override {
        return state_.renamePreset(index, name);
    }
    std::optional<ParameterPresetDeleteResult> deletePreset(int index) override {
        return state_.deletePreset(index);
    }
    std::optional<int> movePreset(int index, ParameterPresetMoveDirection direction) override {
        return state_.movePreset(index, direction);
    }
    void close() override {
        state_.setPresetOrganizerPresented(false);
        if (!state_.commandCheatSheetIsAllowed()) state_.resetCommandCheatSheetTracking();
    }

private:
    AppState& state_;
};

ParameterPresetOrganizerSheet::ParameterPresetOrganizerSheet(AppState& state, QWidget* parent)
    : QDialog(parent), host_(std::make_unique<Host>(state)), model_(*host_) {
    setWindowTitle(qText(ParameterPresetOrganizerModel::title));
    setFixedSize(420, 400);
    // A pressed button is the enabled one faded into the sheet's background.
    const auto pressed = [](SrgbColor c) {
        return qColor(c.faded(ParameterPresetOrganizerModel::pressedButtonOpacity, PanelColors::background));
    };
    const QString buttonStyle =
        QStringLiteral(
            "QPushButton { color: %1; background: %2; border: none; border-radius: 5px; padding: 0 10px; "
            "min-height: 22px; max-height: 22px; } QPushButton:pressed { color: %5; background: %6; } "
            "QPushButton:disabled { color: %3; background: %4; }")
            .arg(qColor(PanelColors::text).name(), qColor(PanelColors::separator).name(),
                 qColor(PanelColors::disabledText).name(), qColor(PanelColors::disabledBackground).name(),
                 pressed(PanelColors::text).name(), pressed(PanelColors::separator).name());
    setStyleSheet(QStringLiteral("QLabel { color: %1; } ").arg(qColor(PanelColors::text).name()) + buttonStyle);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(12);
    auto* title = new QLabel(qText(ParameterPresetOrganizerModel::title), this);
    title->setFont(SorvinLook::font(15, QFont::Bold));
    title->setAlignment(Qt::AlignCenter);
    title->installEventFilter(this);
    layout->addWidget(title);

    auto* scroll = new QScrollArea(this);
    scroll->setFixedSize(360, 240);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setStyleSheet(QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: %1; }")
                              .arg(qColor(PanelColors::disabledBackground).name()));
    auto* list = new QWidget;
    rows_ = new QVBoxLayout(list);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    rows_->addStretch(1);
    scroll->setWidget(list);
    layout->addWidget(scroll);

    normalActions_ = new QWidget(this);
    auto* actions = new QHBoxLayout(normalActions_);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(6);
    up_ = new QPushButton(QStringLiteral("↑"), normalActions_);
    down_ = new QPushButton(QStringLiteral("↓"), normalActions_);
    rename_ = new QPushButton(QStringLiteral("名前を変更"), normalActions_);
    remove_ = new QPushButton(QStringLiteral("削除"), normalActions_);
    actions->addWidget(up_);
    actions->addWidget(down_);
    actions->addSpacing(10);
    actions->addWidget(rename_);
    actions->addWidget(remove_);
    actions->addStretch(1);
    layout->addWidget(normalActions_);
    normalActions_->installEventFilter(this);

    confirmation_ = new QWidget(this);
    auto* confirm = new QHBoxLayout(confirmation_);
    confirm->setContentsMargins(0, 0, 0, 0);
    confirm->setSpacing(6);
    question_ = new ElidedLabel(confirmation_);
    question_->setFont(SorvinLook::font(12));
    auto* keep = new QPushButton(QStringLiteral("やめる"), confirmation_);
    auto* removeNow = new QPushButton(QStringLiteral("削除する"), confirmation_);
    confirm->addWidget(question_, 1);
    confirm->addWidget(keep);
    confirm->addWidget(removeNow);
    layout->addWidget(confirmation_);
    layout->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    close_ = new QPushButton(QStringLiteral("閉じる"), this);
    bottom->addWidget(close_);
    layout->addLayout(bottom);

    for (QPushButton* b : {up_, down_, rename_, remove_, keep, removeNow, close_}) {
        b->setAutoDefault(false);
        b->setFont(SorvinLook::font(11));
        b->setCursor(Qt::ArrowCursor);
    }
    const auto act = [this](auto&& f) {
        return [this, f] {
            f();
            refresh();
        };
    };
    connect(up_, &QPushButton::clicked, this, act([this] { model_.move(ParameterPresetMoveDirection::up); }));
    connect(down_, &QPushButton::clicked, this,
            act([this] { model_.move(ParameterPresetMoveDirection::down); }));
    connect(rename_, &QPushButton::clicked, this, act([this] { model_.beginRename(); }));
    connect(remove_, &QPushButton::clicked, this, act([this] { model_.requestDeletion(); }));
    connect(keep, &QPushButton::clicked, this, act([this] { model_.cancelDeletion(); }));
    connect(removeNow, &QPushButton::clicked, this, act([this] { model_.confirmDeletion(); }));
    connect(close_, &QPushButton::clicked, this, [this] { model_.close(); });
    refresh();
}

ParameterPresetOrganizerSheet::~ParameterPresetOrganizerSheet() = default;

void ParameterPresetOrganizerSheet::refresh() {
    // Every change of the application state comes here (a toast, a save): the rows are built
    // afresh only when they would look different, so that a rename field keeps what is typed in
    // it, its cursor and its selection.
    const auto& presets = host_->presets();
    ShownRows shown{{}, model_.mode(), model_.modeIndex(), model_.selectedIndex()};
    for (const auto& preset : presets)
        shown.names.push_back(preset.name);
    if (shown != shownRows_) {
        shownRows_ = std::move(shown);
        rebuildRows();
    }

    const auto question = model_.deletionQuestionIndex();
    confirmation_->setVisible(question.has_value());
    normalActions_->setVisible(!question);
    // A long name is cut within the question, which keeps its own words.
    question_->setText(qText(model_.deletionQuestion()),
                       question ? qText(presets[static_cast<std::size_t>(*question)].name) : QString());
    up_->setEnabled(model_.canMoveUp());
    down_->setEnabled(model_.canMoveDown());
    rename_->setEnabled(model_.actionsEnabled());
    remove_->setEnabled(model_.actionsEnabled());
    close_->setEnabled(model_.actionsEnabled());
}

void ParameterPresetOrganizerSheet::rebuildRows() {
    for (QWidget* row : rowWidgets_)
        row->deleteLater();
    rowWidgets_.clear();
    renameField_ = nullptr;
    const auto& presets = host_->presets();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        const int index = static_cast<int>(i);
        const bool selected = model_.selectedIndex() == index;
        auto* row = new QWidget;
        row->setFixedHeight(28);
        row->setAttribute(Qt::WA_StyledBackground);
        row->setStyleSheet(
            selected ? QStringLiteral("background: %1;").arg(qColor(PanelColors::selectionBlue).name())
                     : QStringLiteral("background: transparent;"));
        row->setProperty("presetIndex", index);
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(8, 0, 0, 0);
        rowLayout->setSpacing(8);
        const QString color = selected ? QStringLiteral("white") : qColor(PanelColors::text).name();
        if (model_.isRenaming(index)) {
            renameField_ = new QLineEdit(row);
            renameField_->setFont(SorvinLook::font(12));
            renameField_->setText(QString::fromStdString(model_.editingName()));
            renameField_->selectAll();
            renameField_->installEventFilter(this);
            new ParameterPresetNameValidator(renameField_);
            connect(renameField_, &QLineEdit::textEdited, this,
                    [this](const QString& typed) { model_.setEditingName(typed.toStdString()); });
            connect(renameField_, &QLineEdit::returnPressed, this, [this] {
                if (model_.commitRename()) refresh();
            });
            rowLayout->addWidget(renameField_, 1);
        } else {
            // A long name is cut, never widening the list past its box, where the shortcut hints
            // would go out of sight.
            auto* name = new ElidedLabel(row);
            name->setText(qText(presets[i].name));
            name->setFont(SorvinLook::font(12));
            name->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(color));
            name->setAttribute(Qt::WA_TransparentForMouseEvents);
            rowLayout->addWidget(name, 1);
        }
        const std::string hint = ParameterPresetOrganizerModel::shortcutHint(index);
        if (!hint.empty()) {
            auto* hintLabel = new QLabel(qText(hint), row);
            hintLabel->setFont(SorvinLook::font(11));
            hintLabel->setStyleSheet(
                QStringLiteral("color: %1; background: transparent; padding-right: 8px;")
                    .arg(selected ? QStringLiteral("white") : qColor(PanelColors::secondaryText).name()));
            hintLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
            rowLayout->addWidget(hintLabel);
        }
        row->installEventFilter(this);
        rows_->insertWidget(index, row);
        rowWidgets_.push_back(row);
    }
    if (renameField_ && model_.editingNameIsFocused()) renameField_->setFocus();
}

void ParameterPresetOrganizerSheet::closeEvent(QCloseEvent* event) {
    // The window's close button closes the sheet as "閉じる" does, and only when it is enabled.
    event->ignore();
    model_.close();
}

void ParameterPresetOrganizerSheet::mousePressEvent(QMouseEvent* event) {
    model_.cancelRenameIfNeeded();
    refresh();
    QDialog::mousePressEvent(event);
}

void ParameterPresetOrganizerSheet::reject() {
    // Esc steps back out of renaming or a deletion question; the sheet itself stays open.
    model_.escape();
    refresh();
}

bool ParameterPresetOrganizerSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == renameField_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        model_.cancelRenameIfNeeded();
        refresh();
        return true;
    }
    const QVariant index = watched->property("presetIndex");
    if (index.isValid() && watched != renameField_) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            model_.doubleClickRow(index.toInt());
            refresh();
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            model_.clickRow(index.toInt());
            refresh();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress && watched != renameField_) {
        model_.cancelRenameIfNeeded();
        refresh();
    }
    return false;
}

} // namespace sorvin
