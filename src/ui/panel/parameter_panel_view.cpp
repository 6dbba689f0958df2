#include "ui/panel/parameter_panel_view.hpp"

#include "app/app_state.hpp"
#include "model/mask_kind_catalog.hpp"
#include "model/parameter_panel_pages.hpp"
#include "panel/parameter_child_slider_appearance.hpp"
#include "panel/parameter_clipboard_button_kind.hpp"
#include "panel/parameter_edit_target_palette.hpp"
#include "panel/parameter_number_row_metrics.hpp"
#include "panel/parameter_preset_menu.hpp"
#include "panel/parameter_slot_column.hpp"
#include "panel/parameter_slot_content.hpp"
#include "panel/source_selector_labels.hpp"
#include "panel/tone_curve_graph_model.hpp"
#include "shell/keyboard_maps.hpp"
#include "ui/overlays/dimming_veil.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/panel/parameter_slot_column_view.hpp"
#include "ui/panel/tone_curve_graph_view.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"
#include "ui/platform/stacking_order.hpp"
#include "view/panel_colors.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

namespace sorvin {

namespace {

using namespace ParameterPanelLayout;

PanelButton::Face pageFace(const ParameterPageButtonFace& face) {
    return {qText(face.name),
            SorvinLook::font(12),
            qColor(face.nameColor),
            face.key.empty() ? QString() : qText(face.keyText()),
            SorvinLook::font(10),
            qColor(face.keyColor),
            qColor(face.backgroundColor),
            10,
            9,
            22,
            5};
}

PanelButton::Face smallFace(const QString& title, bool enabled) {
    return {title,
            SorvinLook::font(11),
            qColor(ParameterClipboardButtonKinds::textColor(enabled)),
            {},
            {},
            {},
            qColor(ParameterClipboardButtonKinds::backgroundColor(enabled)),
            10,
            10,
            22,
            5};
}

QScrollArea* bareScrollArea(QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(false);
    area->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    area->viewport()->setAutoFillBackground(false);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

} // namespace

ParameterPanelView::ParameterPanelView(AppState& state, AdjustmentInputFocus& focus, QWidget* parent)
    : QWidget(parent), state_(state), focus_(focus),
      entry_(focus, {[this](PhotoParameter p) {
                         const PhotoLibrary* library = state_.library();
                         const PhotoParameters parameters =
                             library ? library->currentParameters() : PhotoParameters();
                         return parameters.value(p, state_.editTarget());
                     },
                     [this](PhotoParameter p, int value) { state_.setCurrentParameter(p, value); }}),
      metrics_(ParameterPanelVerticalMetrics::make(0)) {
    numberRow_ = new QWidget(this);
    auto* numberLayout = new QHBoxLayout(numberRow_);
    numberLayout->setContentsMargins(0, 0, 0, 0);
    numberLayout->setSpacing(6);
    for (std::size_t i = 0; i < numberButtons_.size(); ++i) {
        numberButtons_[i] = new PanelButton(numberRow_);
        numberLayout->addWidget(numberButtons_[i]);
        connect(numberButtons_[i], &QAbstractButton::clicked, this, [this, i] {
            if (i < 4)
                state_.selectCurveChannel(static_cast<PointCurveChannel>(i));
            else
                state_.selectParameterTab(static_cast<int>(ParameterLetterPage::geometry));
        });
    }
    numberLayout->addSpacing(20);
    maskDeleteButton_ = new PanelButton(numberRow_);
    maskDeleteButton_->setFace({QStringLiteral("このマスクを削除"),
                                SorvinLook::font(12),
                                qColor(PanelColors::text),
                                {},
                                {},
                                {},
                                qColor(PanelColors::separator),
                                10,
                                10,
                                22,
                                5});
    numberLayout->addWidget(maskDeleteButton_);
    connect(maskDeleteButton_, &QAbstractButton::clicked, this, [this] {
        if (const auto index = state_.editTarget().maskIndex()) confirmingMaskDeletionIndex_ = *index;
        refreshNumberRow();
    });
    maskConfirmation_ = new QWidget(numberRow_);
    auto* confirmationLayout = new QHBoxLayout(maskConfirmation_);
    confirmationLayout->setContentsMargins(0, 0, 0, 0);
    confirmationLayout->setSpacing(8);
    maskQuestion_ = new QLabel(maskConfirmation_);
    maskQuestion_->setTextFormat(Qt::PlainText);
    maskQuestion_->setFont(SorvinLook::font(12));
    auto* keep = new QPushButton(QStringLiteral("やめる"), maskConfirmation_);
    auto* remove = new QPushButton(QStringLiteral("削除する"), maskConfirmation_);
    for (QPushButton* b : {keep, remove})
        b->setFocusPolicy(Qt::NoFocus);
    confirmationLayout->addWidget(maskQuestion_);
    confirmationLayout->addWidget(keep);
    confirmationLayout->addWidget(remove);
    connect(keep, &QPushButton::clicked, this, [this] {
        confirmingMaskDeletionIndex_.reset();
        refreshNumberRow();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        if (confirmingMaskDeletionIndex_ && state_.deleteCurrentMask(*confirmingMaskDeletionIndex_))
            confirmingMaskDeletionIndex_.reset();
        refresh();
    });
    numberLayout->addWidget(maskConfirmation_);
    numberLayout->addStretch(1);

    tabScroll_ = bareScrollArea(this);
    tabScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabContainer_ = new QWidget;
    auto* tabLayout = new QHBoxLayout(tabContainer_);
    tabLayout->setContentsMargins(0, 0, 0, 0);
    tabLayout->setSpacing(6);
    tabScroll_->setWidget(tabContainer_);
    tabContainer_->setAutoFillBackground(false);
    // A wheel turned over the tabs moves them sideways.
    tabScroll_->viewport()->installEventFilter(this);

    toolbar_ = new QWidget(this);
    auto* toolbarLayout = new QHBoxLayout(toolbar_);
    toolbarLayout->setContentsMargins(0, 0, 0, 0);
    toolbarLayout->setSpacing(6);
    presetButton_ = new PanelButton(toolbar_);
    presetButton_->setPointsWhenEnabled(true);
    toolbarLayout->addWidget(presetButton_);
    connect(presetButton_, &QAbstractButton::clicked, this, [this] { showPresetMenu(); });
    for (std::size_t i = 0; i < clipboardButtons_.size(); ++i) {
        clipboardButtons_[i] = new PanelButton(toolbar_);
        clipboardButtons_[i]->setPointsWhenEnabled(true);
        toolbarLayout->addWidget(clipboardButtons_[i]);
        const auto kind = ParameterClipboardButtonKinds::allCases[i];
        connect(clipboardButtons_[i], &QAbstractButton::clicked, this, [this, kind] {
            afterReleasingFocus([this, kind] {
                state_.performParameterClipboardAction(ParameterClipboardButtonKinds::action(kind));
            });
        });
    }
    toolbarLayout->addSpacing(6);
    for (std::size_t i = 0; i < sourceButtons_.size(); ++i) {
        sourceButtons_[i] = new PanelButton(toolbar_);
        toolbarLayout->addWidget(sourceButtons_[i]);
        if (i == 0) toolbarLayout->addSpacing(2 - toolbarLayout->spacing());
        const PhotoSource source = i == 0 ? PhotoSource::jpeg : PhotoSource::raw;
        connect(sourceButtons_[i], &QAbstractButton::clicked, this, [this, source] {
            const PhotoLibrary* library = state_.library();
            const Photo* photo = library ? library->currentPhoto() : nullptr;
            if (!photo || !photo->hasRawCompanion() || library->currentSource() == source) return;
            afterReleasingFocus([this, source, path = photo->relativePath] {
                const PhotoLibrary* current = state_.library();
                if (!current) return;
                state_.selectSource(source, path, current->currentSlot(), true, true);
            });
        });
    }

    slotScroll_ = bareScrollArea(this);
    slotContainer_ = new QWidget;
    const ParameterSlotColumnView::Actions actions{
        [this](PhotoParameter p, int step) { state_.adjustCurrentParameter(p, step); },
        [this](PhotoParameter p, int value) { state_.setCurrentParameter(p, value); },
        [this](PhotoParameter p) { state_.resetCurrentParameter(p); },
        [this](PhotoParameter p, int value) {
            entry_.beginEditing(p, value);
            refreshSlots();
        },
        [this](const QString& typed) { entry_.setEditingText(typed.toStdString()); },
        [this](PhotoParameter p) {
            entry_.submit(p);
            refreshSlots();
        },
        [this](PhotoParameter p) {
            entry_.cancel(p);
            refreshSlots();
        },
        [this](PhotoParameter p) {
            // The keyboard went somewhere that is no field: the field is left, which commits it.
            if (focus_.holds(AdjustmentInputField::parameter(p))) focus_.clear();
            refreshSlots();
        }};
    for (std::size_t i = 0; i < columns_.size(); ++i)
        columns_[i] = new ParameterSlotColumnView(actions, slotContainer_);
    slotScroll_->setWidget(slotContainer_);
    // The scroll area fills its content with the palette's window colour, which turns grey while
    // the panel is disabled; the panel's own background shows through instead.
    slotContainer_->setAutoFillBackground(false);

    graph_ = new ToneCurveGraphView(this);
    // The panel stands on the screen's background.
    veil_ = new DimmingVeil(qColor(PanelColors::background), this);

    connect(new SignalAdapter(state.changed, this), &SignalAdapter::fired, this, [this] { refresh(); });
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { refresh(); });
    connect(new SignalAdapter(state.imageLoader().revisionChanged, this), &SignalAdapter::fired, this,
            [this] { followRawDevelopmentLater_.request(); });
    // Focus taken by the crop bar closes the field being typed in here.
    connect(new SignalAdapter(focus.changed, this), &SignalAdapter::fired, this, [this] { refreshSlots(); });
    refresh();
}

ParameterPanelView::~ParameterPanelView() = default;

void ParameterPanelView::setHeldKeys(const std::set<std::uint16_t>& keys) {
    if (keys == heldKeys_) return;
    heldKeys_ = keys;
    refreshSlots();
}

void ParameterPanelView::afterReleasingFocus(std::function<void()> action) {
    if (!focus_.isFocused()) {
        action();
        return;
    }
    state_.setAdjustmentInputFocused(false);
    focus_.clear();
    QTimer::singleShot(0, this, std::move(action));
}

void ParameterPanelView::contextCheck() {
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    std::optional<std::string> path;
    if (photo) path = photo->relativePath;
    const RetouchSlot slot = library ? library->currentSlot() : RetouchSlot::a;
    if (path == contextPath_ && slot == contextSlot_ && state_.editTarget() == contextTarget_) return;
    contextPath_ = path;
    contextSlot_ = slot;
    contextTarget_ = state_.editTarget();
    confirmingMaskDeletionIndex_.reset();
    // Whatever was being typed belongs to the old context and is dropped.
    if (focus_.field() && focus_.field()->parameterValue())
        entry_.discard();
    else
        entry_.forgetEditing();
}

void ParameterPanelView::refresh() {
    contextCheck();
    const bool modal = state_.isModalExportPresented();
    setEnabled(!modal);
    veil_->setOpacity(modal ? 0.4 : 1.0);
    refreshNumberRow();
    refreshTabs();
    refreshToolbar();
    refreshSlots();
    // Of the panel's own drawing only the edit target's line at its top follows the state; the
    // controls redraw themselves when their faces change.
    update(0, 0, width(), 2);
}

void ParameterPanelView::refreshNumberRow() {
    const ParameterPage page = state_.parameterPage();
    const auto pages = ParameterNumberRowMetrics::pages(state_.editTarget());
    for (std::size_t i = 0; i < numberButtons_.size(); ++i) {
        const bool shown = i < pages.size();
        numberButtons_[i]->setVisible(shown);
        if (!shown) continue;
        if (i < 4) {
            numberButtons_[i]->setFace(
                pageFace(ParameterNumberRowMetrics::curveButton(static_cast<PointCurveChannel>(i), page)));
        } else {
            const auto key = ParameterTabShortcut::keyLabel(static_cast<int>(ParameterLetterPage::geometry),
                                                            state_.editTarget(), state_.currentPhotoIsRaw());
            numberButtons_[i]->setFace(pageFace(ParameterNumberRowMetrics::letterButton(
                ParameterLetterPage::geometry, page, key.value_or(""))));
        }
    }
    const PhotoLibrary* library = state_.library();
    const auto deletion = MaskDeletionPresentation::make(
        state_.editTarget(), library ? library->currentParameters() : PhotoParameters());
    const bool confirming = deletion && confirmingMaskDeletionIndex_ == deletion->index;
    maskDeleteButton_->setVisible(deletion && !confirming);
    maskConfirmation_->setVisible(confirming);
    if (confirming) maskQuestion_->setText(qText(deletion->question()));
}

void ParameterPanelView::refreshTabs() {
    const ParameterPage page = state_.parameterPage();
    const bool isRaw = state_.currentPhotoIsRaw();
    const auto pages = ParameterPanelPages::visibleLetterPages(state_.editTarget(), isRaw);
    auto* layout = static_cast<QHBoxLayout*>(tabContainer_->layout());
    bool changed = tabButtons_.size() != pages.size();
    while (tabButtons_.size() > pages.size()) {
        delete tabButtons_.back();
        tabButtons_.pop_back();
    }
    while (tabButtons_.size() < pages.size()) {
        auto* button = new PanelButton(tabContainer_);
        // Shown now, so that the row's size below counts it.
        button->show();
        const std::size_t index = tabButtons_.size();
        connect(button, &QAbstractButton::clicked, this, [this, index] {
            const auto current =
                ParameterPanelPages::visibleLetterPages(state_.editTarget(), state_.currentPhotoIsRaw());
            if (index < current.size()) state_.selectParameterTab(static_cast<int>(current[index]));
        });
        layout->addWidget(button);
        tabButtons_.push_back(button);
    }
    PanelButton* selected = nullptr;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto key =
            ParameterTabShortcut::keyLabel(static_cast<int>(pages[i]), state_.editTarget(), isRaw);
        changed = tabButtons_[i]->setFace(
                      pageFace(ParameterNumberRowMetrics::letterButton(pages[i], page, key.value_or("")))) ||
                  changed;
        if (page == ParameterPage::letter(pages[i])) selected = tabButtons_[i];
    }
    // Every tab keeps its natural size; the row scrolls where the panel is too narrow for it. The
    // row is laid out again only when a tab changed: most refreshes change none.
    if (changed) {
        layout->invalidate();
        tabContainer_->resize(layout->sizeHint());
        layout->activate();
    }
    if (selected) tabScroll_->ensureWidgetVisible(selected, 0, 0);
}

void ParameterPanelView::refreshToolbar() {
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    presetButton_->setEnabled(photo != nullptr);
    presetButton_->setFace(smallFace(qText(ParameterPresetMenu::buttonTitle), photo != nullptr));
    for (std::size_t i = 0; i < clipboardButtons_.size(); ++i) {
        const auto kind = ParameterClipboardButtonKinds::allCases[i];
        const bool enabled = ParameterClipboardButtonKinds::isEnabled(kind, photo != nullptr,
                                                                      state_.copiedParameters().has_value());
        clipboardButtons_[i]->setEnabled(enabled);
        clipboardButtons_[i]->setFace(smallFace(qText(ParameterClipboardButtonKinds::title(kind)), enabled));
    }
    for (std::size_t i = 0; i < sourceButtons_.size(); ++i) {
        sourceButtons_[i]->setVisible(photo != nullptr);
        if (!photo) continue;
        const auto labels = SourceSelectorLabels::make(*photo);
        const PhotoSource source = i == 0 ? PhotoSource::jpeg : PhotoSource::raw;
        const auto sourceState = SourceButtonStates::of(source, library->currentSource(), *photo);
        QFont font = SorvinLook::font(10, QFont::Bold);
        sourceButtons_[i]->setFace({qText(i == 0 ? labels.jpegLabel : labels.rawLabel),
                                    font,
                                    qColor(SourceButtonStates::textColor(sourceState)),
                                    {},
                                    {},
                                    {},
                                    qColor(SourceButtonStates::backgroundColor(sourceState)),
                                    8,
                                    8,
                                    20,
                                    4});
        sourceButtons_[i]->setEnabled(SourceButtonStates::isClickable(sourceState));
        sourceButtons_[i]->setPointsWhenEnabled(true);
    }
    toolbar_->adjustSize();
    layoutRows();
}

void ParameterPanelView::refreshSlots() {
    const PhotoLibrary* library = state_.library();
    const PhotoParameters parameters = library ? library->currentParameters() : PhotoParameters();
    const ParameterEditTarget target = state_.editTarget();
    const auto slots =
        ParameterSlotContent::slots(state_.parameterPage(), target, parameters, state_.currentPhotoIsRaw(),
                                    state_.currentRawDevelopmentSupport());
    showsRawTemperature_ = std::any_of(slots.begin(), slots.end(), [](const ParameterSlotContent& slot) {
        return slot.parameter == PhotoParameter::raw_temperature;
    });
    const std::optional<float> neutral =
        showsRawTemperature_ ? state_.rawNeutralTemperature(parameters) : std::nullopt;
    shownNeutralTemperature_ = neutral;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        ParameterSlotColumnView::Input input;
        input.metrics = metrics_;
        input.heldKeys = heldKeys_;
        input.slot = static_cast<int>(i);
        if (i < slots.size() && slots[i].parameter) {
            const PhotoParameter p = *slots[i].parameter;
            input.parameter = p;
            input.value = parameters.value(p, target);
            input.labelText = qText(ParameterSlotColumn::labelText(p, input.value, neutral));
            input.isEditing = entry_.isEditing(p);
            input.editingText = qText(entry_.editingText());
            input.opacity = ParameterChildSliderAppearance::opacity(p, parameters, target);
        }
        columns_[i]->setVisible(i < slots.size());
        columns_[i]->setInput(input);
    }
    shownColumns_ = std::min(slots.size(), columns_.size());
    sizeSlotRow();

    const auto channel = state_.parameterPage().curveChannel();
    graph_->setVisible(channel.has_value());
    if (channel)
        graph_->setModel(ToneCurveGraphModel::make(library && library->currentPhoto()
                                                       ? std::optional(parameters.pipelineParameters(target))
                                                       : std::nullopt,
                                                   *channel));
}

void ParameterPanelView::followRawDevelopment() {
    const PhotoLibrary* library = state_.library();
    if (!showsRawTemperature_ || !library) return;
    if (state_.rawNeutralTemperature(library->currentParameters()) != shownNeutralTemperature_) refreshSlots();
}

std::vector<QString> ParameterPanelView::presetMenuTitles() const {
    std::vector<QString> titles;
    for (const auto& item : ParameterPresetMenu::items(state_.presets()))
        titles.push_back(qText(item.title));
    return titles;
}

void ParameterPanelView::showPresetMenu() {
    if (!presetButton_->isEnabled()) return;
    // Value entry ends before the menu opens.
    if (focus_.isFocused()) {
        state_.setAdjustmentInputFocused(false);
        focus_.clear();
    }
    // The presets another copy of the program saved meanwhile are listed too.
    state_.refreshStoredPreferences();
    QMenu menu(this);
    using Kind = ParameterPresetMenu::Item::Kind;
    for (const auto& item : ParameterPresetMenu::items(state_.presets())) {
        if (item.kind == Kind::separator) {
            menu.addSeparator();
            continue;
        }
        // A menu reads "&" as the mark of a shortcut letter; a preset's name shows as typed.
        QAction* action = menu.addAction(qText(item.title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setEnabled(item.enabled);
        if (!item.shortcut.empty()) action->setShortcut(QKeySequence(qText(item.shortcut)));
        switch (item.kind) {
        case Kind::preset:
            connect(action, &QAction::triggered, this,
                    [this, index = *item.presetIndex] { state_.applyPreset(index); });
            break;
        case Kind::save:
            connect(action, &QAction::triggered, this, [this] { state_.presentPresetSave(); });
            break;
        case Kind::organize:
            connect(action, &QAction::triggered, this, [this] { state_.presentPresetOrganizer(); });
            break;
        default:
            break;
        }
    }
    menu.exec(presetButton_->mapToGlobal(QPoint(0, 0)));
}

void ParameterPanelView::resizeEvent(QResizeEvent*) {
    const auto metrics = ParameterPanelVerticalMetrics::make(height());
    const bool changed = !(metrics == metrics_);
    metrics_ = metrics;
    layoutRows();
    if (changed) refreshSlots();
}

void ParameterPanelView::layoutRows() {
    const int w = width();
    const auto& m = metrics_;
    const int inner = std::max(0, w - 2 * static_cast<int>(horizontalPadding));
    numberRow_->setGeometry(QRectF(horizontalPadding, m.numberRowTop(), inner, rowHeight).toRect());
    const QSize toolbarSize = toolbar_->sizeHint();
    const int tabsWidth = std::max(0, inner - toolbarSize.width() - 8);
    tabScroll_->setGeometry(QRectF(horizontalPadding, m.tabRowTop(), tabsWidth, rowHeight).toRect());
    toolbar_->setGeometry(
        QRectF(horizontalPadding + tabsWidth + 8, m.tabRowTop(), toolbarSize.width(), rowHeight).toRect());
    const bool scrolls = ParameterPanelVerticalMetrics::slotRowScrolls(w);
    // Setting the policy lays the scroll area out again even when it stays the same.
    const Qt::ScrollBarPolicy policy = scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (slotScroll_->horizontalScrollBarPolicy() != policy) slotScroll_->setHorizontalScrollBarPolicy(policy);
    slotScroll_->setGeometry(QRectF(0, m.slotRowTop(), w, m.slotRowHeight() + (scrolls ? 12 : 0)).toRect());
    for (std::size_t i = 0; i < columns_.size(); ++i)
        columns_[i]->setGeometry(
            QRectF(horizontalPadding + static_cast<double>(i) * columnWidth, 0, columnWidth, m.columnHeight())
                .toRect());
    sizeSlotRow();
    const double side = m.curveGraphSide();
    const double overhang = ToneCurveGraphModel::markerInset * side / ToneCurveGraphModel::side;
    graph_->setGeometry(QRectF(curveGraphLeft - overhang, m.curveGraphTop() - overhang, side + 2 * overhang,
                               side + 2 * overhang)
                            .toRect());
    StackingOrder::keepOnTop({graph_, veil_});
}

void ParameterPanelView::sizeSlotRow() {
    slotContainer_->resize(
        static_cast<int>(2 * horizontalPadding + static_cast<double>(shownColumns_) * columnWidth),
        static_cast<int>(std::ceil(metrics_.columnHeight())));
}

bool ParameterPanelView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tabScroll_->viewport() && event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(tabScroll_->horizontalScrollBar(), event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ParameterPanelView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor background = qColor(PanelColors::background);
    background.setAlphaF(0.8f);
    painter.fillRect(rect(), background);
    painter.fillRect(QRectF(0, 0, width(), 1), qColor(PanelColors::separator));
    const PhotoLibrary* library = state_.library();
    if (const auto color = ParameterEditTargetPalette::color(
            state_.editTarget(), library ? library->currentParameters() : PhotoParameters()))
        painter.fillRect(QRectF(0, -0.5, width(), 2), qColor(*color));
}

} // namespace sorvin
