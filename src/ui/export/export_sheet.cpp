#include "ui/export/export_sheet.hpp"

#include "app/app_state.hpp"
#include "export/export_runner.hpp"
#include "persistence/app_settings.hpp"
#include "view/view_color.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/overlays/sheet_host.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace sorvin {
namespace {

const QColor warningOrange(255, 159, 10);
// Between the sheet's edge and its content, and between the settings' rows.
constexpr int kInset = 28;
constexpr int kRowSpacing = 22;
constexpr int kMinimumRowSpacing = 12;

QString colorStyle(const QColor& color) {
    return QStringLiteral("color: %1").arg(color.name());
}

QLabel* label(const QString& text, QWidget* parent, int pixelSize = SorvinLook::bodyPixelSize,
              std::optional<QColor> color = std::nullopt) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setFont(SorvinLook::font(pixelSize));
    if (color) l->setStyleSheet(colorStyle(*color));
    return l;
}

QLabel* title(const QString& text, QWidget* parent) {
    auto* l = label(text, parent);
    l->setFont(SorvinLook::font(17, QFont::Bold));
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QPushButton* button(const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    // Neither Return nor Esc presses the sheet's buttons.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// Dims a group of controls while it does not apply.
void setDimmed(QWidget* widget, bool dimmed) {
    auto* effect = static_cast<QGraphicsOpacityEffect*>(widget->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(widget);
        widget->setGraphicsEffect(effect);
    }
    effect->setOpacity(dimmed ? kDisabledOpacity : 1.0);
    widget->setEnabled(!dimmed);
}

QColor secondary() {
    return toQColor(ViewPalette::secondaryText);
}

} // namespace

ExportSheet::ExportSheet(AppState& state, MainQueue& mainQueue, BackgroundExecutor& executor, QWidget* parent)
    : QDialog(parent), state_(state), mainQueue_(mainQueue), executor_(executor), model_(state.settings()) {
    // A cancel removes the file being written off the main thread.
    model_.cancellation = std::make_shared<ExportCancellationToken>(&executor_);
    setWindowTitle(QStringLiteral("ハートを付けた写真を書き出し"));
    setStyleSheet(QStringLiteral("QLabel, QCheckBox, QRadioButton { color: %1; }").arg(toQColor(ViewPalette::text).name()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kInset, kInset, kInset, kInset);
    // The sheet takes the size of the stage it shows, and never more height than its window has.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    stages_ = new QStackedWidget(this);
    stages_->addWidget(buildSettings());
    stages_->addWidget(buildCopying());
    stages_->addWidget(buildResult());
    layout->addWidget(stages_);
    uncheckedMounts_ = label({}, this, 12, warningOrange);
    uncheckedMounts_->setWordWrap(true);
    layout->addWidget(uncheckedMounts_);
    // A notice that comes or goes keeps its line, and the rows keep the tallest height they had:
    // キャンセル and 書き出す never move under the pointer.
    for (QLabel* notice : {validation_, formatNotice_}) {
        QSizePolicy policy = notice->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        notice->setSizePolicy(policy);
        notice->setMinimumHeight(notice->fontMetrics().lineSpacing());
    }
    settingsRows_->layout()->setAlignment(Qt::AlignTop);

    chooser_ = [this](const std::filesystem::path& start) -> std::optional<std::filesystem::path> {
        if (!state_.folderPanel()) return std::nullopt;
        return state_.folderPanel()->chooseExportDestination(start);
    };
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { refresh(); });
    refresh();
}

ExportSheet::~ExportSheet() {
    // The fields lose the focus as they go, after the model: nothing may answer them then.
    for (QWidget* field : {static_cast<QWidget*>(destination_), static_cast<QWidget*>(longEdge_)})
        field->disconnect(this);
}

QWidget* ExportSheet::buildSettings() {
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kRowSpacing);
    // The rows above the buttons scroll when the window is too low for them.
    settingsRows_ = new QWidget;
    auto* rows = new QVBoxLayout(settingsRows_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(kRowSpacing);
    settingsScroll_ = new QScrollArea(page);
    settingsScroll_->setFrameShape(QFrame::NoFrame);
    settingsScroll_->setWidgetResizable(true);
    settingsScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    settingsScroll_->setWidget(settingsRows_);
    // The sheet's frame shows through.
    settingsScroll_->viewport()->setAutoFillBackground(false);
    settingsRows_->setAutoFillBackground(false);
    column->addWidget(settingsScroll_);
    rows->addWidget(title(QStringLiteral("ハートを付けた写真を書き出し"), page));

    auto* destinationRow = new QHBoxLayout;
    destinationRow->addWidget(label(QStringLiteral("書き出し先:"), page));
    destination_ = new QLineEdit(qText(model_.destinationPath), page);
    destination_->setMinimumWidth(360);
    destinationRow->addWidget(destination_, 1);
    auto* choose = button(QStringLiteral("選ぶ…"), page);
    destinationRow->addWidget(choose);
    rows->addLayout(destinationRow);
    validation_ = label({}, page);
    validation_->setWordWrap(true);
    rows->addWidget(validation_);

    auto* burnIn = new QCheckBox(QStringLiteral("縦位置の写真の回転を焼き付ける"), page);
    burnIn->setChecked(model_.burnInOrientation);
    rows->addWidget(burnIn);
    rows->addWidget(
        label(QStringLiteral("チェックを入れると、縦位置で撮った写真を実際に\n回転させて保存し直します。"
                             "どのソフトで開いても\n正しい向きになりますが、保存し直すぶん画質が\n"
                             "わずかに落ちます。"),
              page, 12, secondary()));

    auto* formatRow = new QHBoxLayout;
    formatRow->setSpacing(12);
    formatRow->addWidget(label(QStringLiteral("保存形式:"), page), 0, Qt::AlignTop);
    auto* formatColumn = new QVBoxLayout;
    formatColumn->setSpacing(8);
    keepFormat_ = new QRadioButton(QStringLiteral("元の形式を維持"), page);
    specifyFormat_ = new QRadioButton(QStringLiteral("保存形式を指定"), page);
    auto* formatGroup = new QButtonGroup(page);
    formatGroup->addButton(keepFormat_);
    formatGroup->addButton(specifyFormat_);
    (model_.formatMode == ExportFormatMode::keep ? keepFormat_ : specifyFormat_)->setChecked(true);
    formatColumn->addWidget(keepFormat_);
    formatColumn->addWidget(specifyFormat_);
    formatChoices_ = new QWidget(page);
    auto* choices = new QVBoxLayout(formatChoices_);
    choices->setContentsMargins(0, 0, 0, 0);
    choices->setSpacing(8);
    auto* formats = new QHBoxLayout;
    formats->setSpacing(16);
    jpeg_ = new QCheckBox(QStringLiteral("JPEG"), formatChoices_);
    heif_ = new QCheckBox(QStringLiteral("HEIF"), formatChoices_);
    jpeg_->setChecked(model_.exportJpeg);
    heif_->setChecked(model_.exportHeif);
    formats->addWidget(jpeg_);
    formats->addWidget(heif_);
    formats->addStretch(1);
    choices->addLayout(formats);
    split_ = new QCheckBox(QStringLiteral("保存形式ごとにフォルダを分ける"), formatChoices_);
    split_->setChecked(model_.splitFolders);
    choices->addWidget(split_);
    formatColumn->addWidget(formatChoices_);
    formatNotice_ = label({}, page, 11);
    formatColumn->addWidget(formatNotice_);
    formatRow->addLayout(formatColumn, 1);
    rows->addLayout(formatRow);

    auto* longEdgeRow = new QHBoxLayout;
    longEdgeRow->setSpacing(12);
    longEdgeRow->addWidget(label(QStringLiteral("長辺:"), page, 12));
    auto* keepLongEdge = new QRadioButton(QStringLiteral("元のまま"), page);
    specifyLongEdge_ = new QRadioButton(QStringLiteral("指定する"), page);
    auto* longEdgeGroup = new QButtonGroup(page);
    for (QRadioButton* b : {keepLongEdge, specifyLongEdge_}) {
        b->setFont(SorvinLook::font(12));
        longEdgeGroup->addButton(b);
        longEdgeRow->addWidget(b);
    }
    (model_.longEdgeMode == ExportLongEdgeMode::keep ? keepLongEdge : specifyLongEdge_)->setChecked(true);
    longEdgeRow_ = new QWidget(page);
    auto* field = new QHBoxLayout(longEdgeRow_);
    field->setContentsMargins(0, 0, 0, 0);
    field->setSpacing(4);
    longEdge_ = new QLineEdit(qText(model_.longEdgeText), longEdgeRow_);
    longEdge_->setFixedWidth(64);
    longEdge_->setAlignment(Qt::AlignRight);
    field->addWidget(longEdge_);
    field->addWidget(label(QStringLiteral("px"), longEdgeRow_, 12));
    longEdgeRow->addWidget(longEdgeRow_);
    longEdgeRow->addStretch(1);
    rows->addLayout(longEdgeRow);

    auto* conflictRow = new QHBoxLayout;
    conflictRow->setSpacing(12);
    conflictRow->addWidget(label(QStringLiteral("同名のファイル:"), page, 12));
    auto* rename = new QRadioButton(QStringLiteral("名前を変えて保存"), page);
    auto* overwrite = new QRadioButton(QStringLiteral("上書きする"), page);
    auto* conflictGroup = new QButtonGroup(page);
    for (QRadioButton* b : {rename, overwrite}) {
        b->setFont(SorvinLook::font(12));
        conflictGroup->addButton(b);
        conflictRow->addWidget(b);
    }
    (model_.conflictMode == ExportConflictMode::rename ? rename : overwrite)->setChecked(true);
    conflictRow->addStretch(1);
    rows->addLayout(conflictRow);

    originals_ = new QCheckBox(QStringLiteral("元データも保存する"), page);
    originals_->setChecked(model_.saveOriginals);
    rows->addWidget(originals_);
    rows->addWidget(
        label(QStringLiteral(
                  "ハートを付けた写真すべての元ファイルを、\noriginals "
                  "フォルダに手を加えずそのまま保存します。\nカードや一時フォルダを消しても元が残ります。"),
              page, 12, secondary()));

    target_ = label({}, page);
    rows->addWidget(target_);
    targetNotices_ = label({}, page, 11, secondary());
    rows->addWidget(targetNotices_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancelSettings_ = button(QStringLiteral("キャンセル"), page);
    export_ = button(QStringLiteral("書き出す"), page);
    buttons->addWidget(cancelSettings_);
    buttons->addWidget(export_);
    column->addLayout(buttons);

    connect(destination_, &QLineEdit::textEdited, this, [this](const QString& text) {
        model_.destinationTyped(text.toStdString());
        refresh();
    });
    connect(choose, &QPushButton::clicked, this, [this] { chooseDestination(); });
    connect(burnIn, &QCheckBox::toggled, this, [this](bool on) { model_.burnInOrientation = on; });
    connect(specifyFormat_, &QRadioButton::toggled, this, [this](bool on) {
        model_.formatMode = on ? ExportFormatMode::specify : ExportFormatMode::keep;
        refresh();
    });
    connect(jpeg_, &QCheckBox::toggled, this, [this](bool on) {
        model_.exportJpeg = on;
        refresh();
    });
    connect(heif_, &QCheckBox::toggled, this, [this](bool on) {
        model_.exportHeif = on;
        refresh();
    });
    connect(split_, &QCheckBox::toggled, this, [this](bool on) { model_.splitFolders = on; });
    connect(specifyLongEdge_, &QRadioButton::toggled, this, [this](bool on) {
        model_.longEdgeMode = on ? ExportLongEdgeMode::specify : ExportLongEdgeMode::keep;
        refresh();
    });
    connect(longEdge_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.longEdgeText = text.toStdString(); });
    // Return and the focus leaving the field both take the typed value over.
    connect(longEdge_, &QLineEdit::editingFinished, this, [this] {
        model_.commitLongEdgeValue();
        longEdge_->setText(qText(model_.longEdgeText));
    });
    connect(overwrite, &QRadioButton::toggled, this, [this](bool on) {
        model_.conflictMode = on ? ExportConflictMode::overwrite : ExportConflictMode::rename;
    });
    connect(originals_, &QCheckBox::toggled, this, [this](bool on) { model_.saveOriginals = on; });
    connect(cancelSettings_, &QPushButton::clicked, this, [this] { state_.setExportPresented(false); });
    connect(export_, &QPushButton::clicked, this, [this] { startExport(); });
    return page;
}

QWidget* ExportSheet::buildCopying() {
    auto* page = new QWidget(this);
    auto* rows = new QVBoxLayout(page);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(24);
    rows->addStretch(1);
    copyingTitle_ = title(qText(model_.copyingTitle()), page);
    rows->addWidget(copyingTitle_);
    progress_ = new QProgressBar(page);
    progress_->setMinimumWidth(420);
    progress_->setTextVisible(false);
    rows->addWidget(progress_, 0, Qt::AlignHCenter);
    progressText_ = label({}, page);
    rows->addWidget(progressText_, 0, Qt::AlignHCenter);
    stop_ = button(QStringLiteral("キャンセル"), page);
    rows->addWidget(stop_, 0, Qt::AlignHCenter);
    rows->addStretch(1);
    connect(stop_, &QPushButton::clicked, this, [this] {
        model_.cancel();
        refresh();
    });
    return page;
}

QWidget* ExportSheet::buildResult() {
    resultPage_ = new QWidget(this);
    auto* rows = new QVBoxLayout(resultPage_);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(18);
    resultRows_ = new QVBoxLayout;
    resultRows_->setSpacing(18);
    rows->addLayout(resultRows_);
    rows->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    openDestination_ = button(QStringLiteral("書き出し先を開く"), resultPage_);
    close_ = button(QStringLiteral("閉じる"), resultPage_);
    buttons->addWidget(openDestination_);
    buttons->addWidget(close_);
    rows->addLayout(buttons);
    connect(openDestination_, &QPushButton::clicked, this, [this] {
        if (model_.result) state_.openExportDestination(model_.result->destination);
    });
    connect(close_, &QPushButton::clicked, this, [this] { state_.setExportPresented(false); });
    return resultPage_;
}

void ExportSheet::refresh() {
    const PhotoLibrary* library = state_.library();
    const bool specify = model_.formatChoicesEnabled();
    setDimmed(formatChoices_, !specify);
    setDimmed(longEdgeRow_, !model_.longEdgeFieldEnabled());
    const auto notice = model_.formatNotice(library);
    formatNotice_->setVisible(notice.has_value());
    if (notice) {
        formatNotice_->setText(qText(notice->first));
        formatNotice_->setStyleSheet(colorStyle(notice->second ? warningOrange : secondary()));
    }
    // While the destination is checked, the line under it says so and the settings wait.
    const bool checking = model_.checking;
    validation_->setVisible(checking || model_.validationError.has_value());
    validation_->setText(checking ? QStringLiteral("書き出し先を確かめています…")
                                  : qText(model_.validationError.value_or(std::string())));
    validation_->setStyleSheet(colorStyle(checking ? secondary() : toQColor(ViewPalette::accent)));
    settingsRows_->setEnabled(!checking);
    const auto counts = ExportSheetModel::counts(library);
    target_->setText(qText(ExportSheetModel::targetText(counts)));
    QStringList notices;
    for (const auto& line : ExportSheetModel::targetNotices(counts))
        notices << qText(line);
    targetNotices_->setText(notices.join(QLatin1Char('\n')));
    targetNotices_->setVisible(!notices.isEmpty());
    export_->setEnabled(!checking && !model_.isCopyDisabled(library));

    progress_->setRange(0, std::max(model_.total, 1));
    progress_->setValue(std::min(model_.processed, std::max(model_.total, 1)));
    progressText_->setText(qText(model_.progressText()));
    copyingTitle_->setText(qText(model_.copyingTitle()));
    stop_->setEnabled(!model_.isStopping());
    uncheckedMounts_->setText(qText(model_.uncheckedMountsNote.value_or(std::string())));
    uncheckedMounts_->setVisible(model_.stage != ExportSheetModel::Stage::settings &&
                                 model_.uncheckedMountsNote.has_value());
    showStage(static_cast<int>(model_.stage));
}

void ExportSheet::showStage(int index) {
    // Only the shown stage counts towards the size.
    for (int i = 0; i < stages_->count(); ++i) {
        const auto policy = i == index ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        stages_->widget(i)->setSizePolicy(policy, policy);
    }
    stages_->setCurrentIndex(index);
    if (index != static_cast<int>(ExportSheetModel::Stage::settings)) return;
    // Rows too tall for the window first come closer together, then scroll.
    auto* rows = static_cast<QVBoxLayout*>(settingsRows_->layout());
    rows->setSpacing(kRowSpacing);
    const QWidget* window = parentWidget() ? parentWidget()->window() : nullptr;
    const int room = window ? window->height() - 2 * kInset - kRowSpacing - export_->sizeHint().height()
                            : settingsRows_->sizeHint().height();
    int gaps = -1;
    for (int i = 0; i < rows->count(); ++i)
        gaps += !rows->itemAt(i)->isEmpty();
    const int over = settingsRows_->sizeHint().height() - room;
    if (over > 0 && gaps > 0)
        rows->setSpacing(std::max(kMinimumRowSpacing, kRowSpacing - (over + gaps - 1) / gaps));
    const QSize natural = settingsRows_->sizeHint();
    const int bar = natural.height() > room ? settingsScroll_->verticalScrollBar()->sizeHint().width() : 0;
    tallestRows_ = std::max(tallestRows_, natural.height());
    settingsScroll_->setFixedSize(natural.width() + bar, std::min(tallestRows_, room));
}

void ExportSheet::showEvent(QShowEvent* event) {
    // Shown, the controls have their style and measure their final size.
    tallestRows_ = 0;
    showStage(static_cast<int>(model_.stage));
    QDialog::showEvent(event);
}

void ExportSheet::chooseDestination() {
    const auto start = model_.chooserStartFolder();
    const auto chosen = chooser_(start.value_or(std::filesystem::path()));
    if (!chosen) return;
    model_.destinationChosen(*chosen, state_.settings());
    destination_->setText(qText(model_.destinationPath));
    refresh();
}

void ExportSheet::startExport() {
    auto request = model_.beginExport(state_.sourceFolder(), state_.library());
    // The long edge may have been taken over.
    longEdge_->setText(qText(model_.longEdgeText));
    refresh();
    if (!request) return;
    // The check reads every photo folder, perhaps on a slow share: off the main thread, while the
    // sheet says that it checks.
    QPointer<ExportSheet> self(this);
    MainQueue& mainQueue = mainQueue_;
    executor_.run(TaskPriority::userInitiated, [self, &mainQueue, request = std::move(*request)]() mutable {
        auto check = ExportSheetModel::checkDestination(request);
        mainQueue.post([self, request = std::move(request), check = std::move(check)]() mutable {
            // A sheet dismissed meanwhile is hidden at once and deleted later: it starts nothing.
            if (self && self->isVisible()) self->destinationChecked(std::move(request), std::move(check));
        });
    });
}

void ExportSheet::destinationChecked(ExportRequest checked, ExportSheetModel::DestinationCheck check) {
    auto request = model_.checkEnded(std::move(checked), std::move(check), state_.settings());
    // A refused destination leaves its message.
    if (!request) {
        refresh();
        return;
    }
    // The folder record is saved as the export starts.
    state_.saveNow();
    state_.setActiveExportCancellation(model_.cancellation);
    refresh();
    QPointer<ExportSheet> self(this);
    ExportRunner::start(
        std::move(*request), executor_, mainQueue_,
        [self](int done) {
            if (!self) return;
            self->model_.exportProgressed(done);
            self->refresh();
        },
        [self](ExportResult result) {
            if (!self) return;
            if (self->state_.activeExportCancellation() == self->model_.cancellation)
                self->state_.setActiveExportCancellation(nullptr);
            self->model_.exportFinished(std::move(result));
            self->showResult();
            // The export is over: the window behind is free again, to quit among other things.
            SheetHost::release(*self);
        });
}

void ExportSheet::showResult() {
    while (QLayoutItem* item = resultRows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    failureList_ = nullptr;
    if (model_.result) {
        const auto lines = ExportResultSummary::lines(*model_.result);
        const auto failures = ExportResultSummary::failureLines(*model_.result);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const auto& line = lines[i];
            QLabel* row = line.style == ExportResultLine::Style::title ? title(qText(line.text), resultPage_)
                                                                       : label(qText(line.text), resultPage_);
            if (line.style == ExportResultLine::Style::warning) row->setStyleSheet(colorStyle(warningOrange));
            resultRows_->addWidget(row);
            // The failures are listed right after their count, before the destination line.
            if (!failures.empty() && i + 2 == lines.size()) {
                auto* scroll = new QScrollArea(resultPage_);
                scroll->setMaximumHeight(180);
                scroll->setWidgetResizable(true);
                scroll->setFrameShape(QFrame::NoFrame);
                scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                failureList_ = new QWidget(scroll);
                auto* list = new QVBoxLayout(failureList_);
                list->setContentsMargins(0, 0, 0, 0);
                list->setSpacing(6);
                for (const auto& failure : failures)
                    list->addWidget(label(qText(failure), failureList_, 12));
                list->addStretch(1);
                scroll->setWidget(failureList_);
                resultRows_->addWidget(scroll);
            }
        }
    }
    refresh();
}

QStringList ExportSheet::resultTexts() const {
    QStringList texts;
    for (int i = 0; i < resultRows_->count(); ++i)
        if (auto* l = qobject_cast<QLabel*>(resultRows_->itemAt(i)->widget())) texts << l->text();
    return texts;
}

QStringList ExportSheet::failureTexts() const {
    QStringList texts;
    if (failureList_)
        for (auto* l : failureList_->findChildren<QLabel*>())
            texts << l->text();
    return texts;
}

void ExportSheet::reject() {
    if (model_.stage == ExportSheetModel::Stage::copying) return;
    state_.setExportPresented(false);
}

void ExportSheet::closeEvent(QCloseEvent* event) {
    // The window's close button acts like Esc; the sheet itself goes when the state says so.
    event->ignore();
    reject();
}

} // namespace sorvin
