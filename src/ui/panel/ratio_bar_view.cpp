#include "ui/panel/ratio_bar_view.hpp"

#include "app/app_state.hpp"
#include "view/panel_colors.hpp"
#include "ui/overlays/dimming_veil.hpp"
#include "ui/panel/panel_button.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>

namespace sorvin {

namespace {

using Kind = AdjustmentInputField::Kind;

QLabel* smallLabel(const QString& content, QWidget* parent) {
    auto* label = new QLabel(content, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(SorvinLook::font(11));
    label->setStyleSheet(QStringLiteral("color: %1").arg(qColor(PanelColors::secondaryText).name()));
    return label;
}

PanelButton::Face aspectFace(const QString& label, bool selected) {
    return {label,
            SorvinLook::font(12),
            selected ? qColor(PanelColors::white) : qColor(PanelColors::text),
            {},
            {},
            {},
            selected ? qColor(PanelColors::accent) : qColor(PanelColors::separator),
            10,
            10,
            24,
            6};
}

} // namespace

// The application state's crop and rotation edits for the bar.
class RatioBarView::Host final : public RatioBarHost {
public:
    explicit Host(AppState& state) : state_(state) {}
    const Photo* currentPhoto() const override {
        return state_.library() ? state_.library()->currentPhoto() : nullptr;
    }
    double currentRotation() const override {
        return state_.library() ? state_.library()->currentRotation() : 0;
    }
    ManualCrop currentCrop() const override {
        return state_.library() ? state_.library()->currentCrop() : ManualCrop();
    }
    std::optional<PixelSize> currentEditSize() const override {
        return state_.library() ? state_.library()->currentEditSize() : std::nullopt;
    }
    void setCropAspect(const CropAspect& aspect) override { state_.setCurrentCropAspect(aspect); }
    void setRotation(double degrees) override { state_.setCurrentRotation(degrees); }
    void setCropSize(int percent) override { state_.setCurrentCropSize(percent); }
    void setCropPixelX(int pixel) override { state_.setCurrentCropPixelX(pixel); }
    void setCropPixelY(int pixel) override { state_.setCurrentCropPixelY(pixel); }
    void setAdjustmentInputFocused(bool focused) override { state_.setAdjustmentInputFocused(focused); }
    void endAdjustmentInput() override {
        // Only a real change is told: the bar also goes while the window is being taken down.
        if (state_.adjustmentInputIsFocused()) state_.setAdjustmentInputFocused(false);
        if (!state_.commandCheatSheetIsAllowed()) state_.resetCommandCheatSheetTracking();
    }

private:
    AppState& state_;
};

RatioBarView::RatioBarView(AppState& state, AdjustmentInputFocus& focus, QWidget* parent)
    : QWidget(parent), state_(state), focus_(focus), host_(std::make_unique<Host>(state)),
      model_(std::make_unique<RatioBarModel>(*host_, focus)) {
    setFixedHeight(36);
    setStyleSheet(QStringLiteral("QLineEdit { color: %1; }").arg(qColor(PanelColors::text).name()));
    auto* layout = new QHBoxLayout(this);
    // The bottom point is the separator line's.
    layout->setContentsMargins(12, 0, 12, 1);
    layout->setSpacing(12);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    scroll->viewport()->setAutoFillBackground(false);
    auto* left = new QWidget;
    left->setAutoFillBackground(false);
    auto* leftLayout = new QHBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(6);
    const auto& presets = RatioBarModel::presetAspects();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        aspectButtons_[i] = new PanelButton(left);
        leftLayout->addWidget(aspectButtons_[i]);
        connect(aspectButtons_[i], &QAbstractButton::clicked, this, [this, aspect = presets[i].aspect] {
            model_->pressPreset(aspect);
            refresh();
        });
    }
    customButton_ = new PanelButton(left);
    leftLayout->addWidget(customButton_);
    connect(customButton_, &QAbstractButton::clicked, this, [this] {
        model_->pressCustom();
        refresh();
    });
    customFields_ = new QWidget(left);
    auto* customLayout = new QHBoxLayout(customFields_);
    customLayout->setContentsMargins(0, 0, 0, 0);
    customLayout->setSpacing(6);
    customLayout->addWidget(makeField(AdjustmentInputField::customWidth(), 40));
    auto* colon = new QLabel(QStringLiteral(":"), customFields_);
    colon->setFont(SorvinLook::font(12));
    customLayout->addWidget(colon);
    customLayout->addWidget(makeField(AdjustmentInputField::customHeight(), 40));
    leftLayout->addWidget(customFields_);
    leftLayout->addStretch(1);
    scroll->setWidget(left);
    layout->addWidget(scroll, 1);

    auto* right = new QHBoxLayout;
    right->setSpacing(6);
    const auto group = [this](const QString& label, AdjustmentInputField field, int width,
                              const QString& unit) {
        auto* box = new QWidget(this);
        auto* boxLayout = new QHBoxLayout(box);
        boxLayout->setContentsMargins(0, 0, 0, 0);
        boxLayout->setSpacing(4);
        boxLayout->addWidget(smallLabel(label, box));
        boxLayout->addWidget(makeField(field, width));
        if (!unit.isEmpty()) boxLayout->addWidget(smallLabel(unit, box));
        return box;
    };
    right->addWidget(
        group(QStringLiteral("回転"), AdjustmentInputField::rotation(), 64, QStringLiteral("°")));
    right->addWidget(group(QStringLiteral("大きさ"), AdjustmentInputField::size(), 56, QStringLiteral("%")));
    xGroup_ = group(QStringLiteral("X"), AdjustmentInputField::x(), 64, {});
    yGroup_ = group(QStringLiteral("Y"), AdjustmentInputField::y(), 64, {});
    for (QWidget* g : {xGroup_, yGroup_})
        right->addWidget(g);
    outputSize_ = smallLabel(QString(), this);
    right->addWidget(outputSize_);
    layout->addLayout(right);
    veil_ = new DimmingVeil(qColor(PanelColors::background), this);

    connect(new SignalAdapter(state.changed, this), &SignalAdapter::fired, this, [this] { refresh(); });
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { refresh(); });
    auto focusAdapter = new SignalAdapter(focus.changed, this);
    connect(focusAdapter, &SignalAdapter::fired, this, [this] { refresh(); });
}

RatioBarView::~RatioBarView() = default;

QLineEdit* RatioBarView::makeField(AdjustmentInputField field, int width) {
    auto* edit = new QLineEdit(this);
    edit->setFixedSize(width, 22);
    edit->setFont(SorvinLook::font(12));
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setFrame(false);
    edit->installEventFilter(this);
    fields_[field.kind()] = edit;
    connect(edit, &QLineEdit::textEdited, this,
            [this, field](const QString& typed) { model_->setText(field, typed.toStdString()); });
    return edit;
}

QLineEdit* RatioBarView::field(Kind kind) const {
    const auto found = fields_.find(kind);
    return found == fields_.end() ? nullptr : found->second;
}

std::optional<AdjustmentInputField> RatioBarView::fieldOf(QObject* object) const {
    static const std::map<Kind, AdjustmentInputField> byKind{
        {Kind::customWidth, AdjustmentInputField::customWidth()},
        {Kind::customHeight, AdjustmentInputField::customHeight()},
        {Kind::rotation, AdjustmentInputField::rotation()},
        {Kind::size, AdjustmentInputField::size()},
        {Kind::x, AdjustmentInputField::x()},
        {Kind::y, AdjustmentInputField::y()}};
    for (const auto& [kind, edit] : fields_)
        if (edit == object) return byKind.at(kind);
    return std::nullopt;
}

void RatioBarView::refresh() {
    if (refreshing_) return;
    refreshing_ = true;
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    std::optional<std::string> path;
    if (photo) path = photo->relativePath;
    const bool photoChanged = path != shownPath_;
    if (photoChanged) {
        shownPath_ = path;
        if (isVisible()) model_->photoChanged();
    } else {
        model_->synchronizeTexts();
    }
    const bool modal = state_.isModalExportPresented();
    setEnabled(!modal);
    veil_->setOpacity(modal ? 0.4 : 1.0);
    const auto& presets = RatioBarModel::presetAspects();
    for (std::size_t i = 0; i < presets.size(); ++i)
        aspectButtons_[i]->setFace(
            aspectFace(qText(presets[i].label), model_->isPresetSelected(presets[i].aspect)));
    customButton_->setFace(aspectFace(qText(RatioBarModel::customLabel), model_->isCustomSelected()));
    customFields_->setVisible(model_->isCustomSelected());
    for (const auto& [kind, edit] : fields_) {
        const auto f = fieldOf(edit);
        const bool focused = focus_.holds(*f);
        const QString shown = QString::fromStdString(model_->text(*f));
        if (edit->text() != shown) edit->setText(shown);
        SorvinLook::restyle(
            *edit,
            QStringLiteral(
                "QLineEdit { background: %1; border: 1px solid %2; border-radius: 4px; padding: 0 5px; }")
                .arg(qColor(PanelColors::disabledBackground).name(),
                     focused ? qColor(PanelColors::accent).name() : QStringLiteral("transparent")));
        // Another field took the keyboard, or the photo changed under this one.
        if (!focused && edit->hasFocus() && (focus_.isFocused() || photoChanged)) edit->clearFocus();
    }
    // A position that cannot move is dimmed to 0.4.
    for (auto [group, enabled] :
         {std::pair{xGroup_, model_->isXEnabled()}, std::pair{yGroup_, model_->isYEnabled()}}) {
        group->setEnabled(enabled);
        const double alpha = enabled ? 1.0 : 0.4;
        QColor label = qColor(PanelColors::secondaryText);
        label.setAlphaF(static_cast<float>(alpha));
        QColor value = qColor(PanelColors::text);
        value.setAlphaF(static_cast<float>(alpha));
        SorvinLook::restyle(*group, QStringLiteral("QLabel { color: %1; } QLineEdit { color: %2; }")
                                        .arg(label.name(QColor::HexArgb), value.name(QColor::HexArgb)));
    }
    outputSize_->setText(QString::fromStdString(model_->outputSizeText()));
    refreshing_ = false;
}

bool RatioBarView::eventFilter(QObject* watched, QEvent* event) {
    const auto f = fieldOf(watched);
    if (!f) return false;
    if (event->type() == QEvent::FocusIn) {
        focus_.set(*f);
    } else if (event->type() == QEvent::FocusOut) {
        if (focus_.holds(*f)) focus_.clear();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            model_->submit(*f);
            static_cast<QWidget*>(watched)->clearFocus();
            refresh();
            return true;
        case Qt::Key_Escape:
            model_->escape(*f);
            static_cast<QWidget*>(watched)->clearFocus();
            refresh();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
            model_->step(*f, key->key() == Qt::Key_Up ? RatioBarModel::ArrowKey::up
                                                      : RatioBarModel::ArrowKey::down);
            refresh();
            return true;
        default:
            break;
        }
    }
    return false;
}

void RatioBarView::showEvent(QShowEvent*) {
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    shownPath_ = photo ? std::optional(photo->relativePath) : std::nullopt;
    model_->appear();
    refresh();
}

void RatioBarView::hideEvent(QHideEvent*) {
    // The screen changed under a window that stays; a window being closed takes its state along.
    if (window()->isVisible()) model_->disappear();
}

void RatioBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor background = qColor(PanelColors::background);
    background.setAlphaF(0.8f);
    painter.fillRect(rect(), background);
    painter.fillRect(QRectF(0, height() - 1, width(), 1), qColor(PanelColors::separator));
}

} // namespace sorvin
