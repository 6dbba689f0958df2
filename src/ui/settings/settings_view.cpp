#include "ui/settings/settings_view.hpp"

#include "persistence/app_settings.hpp"
#include "platform/app_identity.hpp"
#include "shell/pacing_settings.hpp"
#include "shell/release_notes.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/platform/dialog_placement.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace sorvin {

namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QLabel* plainLabel(const QString& content, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

SettingsView::SettingsView(AppSettings& settings, AppDelegate& delegate, QWidget* parent)
    // A dialog of the main window: the window manager keeps it above that window.
    : QWidget(parent, Qt::Dialog), settings_(settings), delegate_(delegate) {
    setWindowTitle(QStringLiteral("設定"));
    setFixedWidth(kWidth);
    rows_[0].setting = &PacingSetting::holdAdvanceRate;
    rows_[1].setting = &PacingSetting::scrollPointsPerStep;
    // Esc and Ctrl+W close the window, also where no window manager gives it a close button.
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll_);

    form_ = new QWidget;
    auto* column = new QVBoxLayout(form_);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);

    auto* operation = new QGroupBox(QStringLiteral("操作"), form_);
    auto* operationLayout = new QVBoxLayout(operation);
    operationLayout->setSpacing(12);
    for (Row& row : rows_)
        operationLayout->addWidget(settingRow(row, operation));
    auto* restoreLine = new QHBoxLayout;
    restoreLine->addStretch(1);
    restore_ = new QPushButton(QStringLiteral("既定に戻す"), operation);
    restoreLine->addWidget(restore_);
    operationLayout->addLayout(restoreLine);
    connect(restore_, &QPushButton::clicked, this, [this] {
        PacingSetting::restoreDefaults(settings_);
        for (Row& row : rows_)
            showValue(row, row.setting->defaultValue);
    });
    column->addWidget(operation);

    auto* updates = new QGroupBox(QStringLiteral("アップデート"), form_);
    auto* updatesLayout = new QVBoxLayout(updates);
    auto* versionLine = new QHBoxLayout;
    versionLine->addWidget(plainLabel(QStringLiteral("現在のバージョン"), updates));
    versionLine->addStretch(1);
    versionLine->addWidget(plainLabel(QString::fromStdString(AppIdentity::version()), updates));
    updatesLayout->addLayout(versionLine);
    check_ = new QPushButton(QStringLiteral("アップデートを確認"), updates);
    check_->setEnabled(delegate_.canCheckForUpdates());
    connect(&delegate_, &AppDelegate::canCheckForUpdatesChanged, check_, &QPushButton::setEnabled);
    connect(check_, &QPushButton::clicked, this, [this] {
        if (!delegate_.canCheckForUpdates()) return;
        if (QWidget* window = QApplication::activeWindow()) window->raise();
        delegate_.checkForUpdates();
    });
    updatesLayout->addWidget(check_, 0, Qt::AlignLeft);

    notesToggle_ = new QToolButton(updates);
    notesToggle_->setText(QStringLiteral("更新履歴"));
    notesToggle_->setCheckable(true);
    notesToggle_->setChecked(false);
    notesToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    notesToggle_->setArrowType(Qt::RightArrow);
    notesToggle_->setAutoRaise(true);
    updatesLayout->addWidget(notesToggle_, 0, Qt::AlignLeft);
    notes_ = new QWidget(updates);
    auto* notesLayout = new QVBoxLayout(notes_);
    notesLayout->setSpacing(12);
    for (const ReleaseNote& note : ReleaseNotesData::all()) {
        auto* block = new QVBoxLayout;
        block->setSpacing(6);
        auto* heading = plainLabel(QString::fromStdString(note.heading()), notes_);
        heading->setFont(SorvinLook::font(SorvinLook::bodyPixelSize, QFont::DemiBold));
        block->addWidget(heading);
        for (const std::string& item : note.items) {
            auto* line = plainLabel(QStringLiteral("• ") + QString::fromStdString(item), notes_);
            line->setWordWrap(true);
            block->addWidget(line);
        }
        notesLayout->addLayout(block);
    }
    notes_->setVisible(false);
    updatesLayout->addWidget(notes_);
    connect(notesToggle_, &QToolButton::toggled, this, [this](bool open) {
        notesToggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
        notes_->setVisible(open);
        fitHeight();
    });
    column->addWidget(updates);
    column->addStretch(1);
    scroll_->setWidget(form_);
    fitHeight();
}

QWidget* SettingsView::settingRow(Row& row, QWidget* parent) {
    auto* holder = new QWidget(parent);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* titleLine = new QHBoxLayout;
    titleLine->addWidget(plainLabel(text(row.setting->title), holder));
    titleLine->addStretch(1);
    row.value = plainLabel(QString(), holder);
    row.value->setFont(SorvinLook::equalWidthFont(SorvinLook::bodyPixelSize));
    row.value->setFixedWidth(62);
    row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    titleLine->addWidget(row.value);
    layout->addLayout(titleLine);
    row.slider = new QSlider(Qt::Horizontal, holder);
    row.slider->setMinimumWidth(360);
    row.slider->setRange(row.setting->minimum, row.setting->maximum);
    row.slider->setSingleStep(row.setting->sliderStep);
    row.slider->setPageStep(row.setting->sliderStep);
    row.slider->setTickInterval(row.setting->sliderStep);
    layout->addWidget(row.slider);
    // Shown as stored (clamped); nothing is written until the user moves the slider.
    showValue(row, row.setting->read(settings_));
    connect(row.slider, &QSlider::valueChanged, this, [this, &row](int value) {
        if (value == row.shown) return;
        // The slider moves in whole steps of its preference.
        const int step = row.setting->sliderStep;
        const double snapped =
            row.setting->minimum + std::round(double(value - row.setting->minimum) / step) * step;
        showValue(row, row.setting->write(settings_, snapped));
    });
    return holder;
}

void SettingsView::showEvent(QShowEvent* event) {
    const auto showStored = [this] {
        for (Row& row : rows_)
            showValue(row, row.setting->read(settings_));
    };
    showStored();
    // Values another copy of the program stored since the window was last open, once read off the
    // main thread.
    settings_.defaults().refresh();
    settings_.defaults().whenWritten(
        [window = QPointer<SettingsView>(this), showStored](std::optional<std::error_code>) {
            if (window && window->isVisible()) showStored();
        });
    QWidget::showEvent(event);
}

void SettingsView::showValue(Row& row, int value) {
    row.shown = value;
    row.value->setText(QString::fromStdString(row.setting->valueText(value)));
    if (row.slider->value() != value) row.slider->setValue(value);
}

void SettingsView::fitHeight() {
    // The release notes wrap: the form's height is the one it takes at the window's width.
    QLayout* layout = form_->layout();
    layout->activate();
    const int natural = layout->hasHeightForWidth() ? layout->totalHeightForWidth(kWidth) : form_->sizeHint().height();
    if (natural <= 0) return;
    // Lower where the screen has less room (DialogPlacement): the form scrolls then.
    setMaximumHeight(std::min(natural, kMaximumHeight));
    resize(kWidth, maximumHeight());
    DialogPlacement::fitAgain(*this);
}

} // namespace sorvin
