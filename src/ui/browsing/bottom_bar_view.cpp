#include "ui/browsing/bottom_bar_view.hpp"

#include "app/app_state.hpp"
#include "shell/bottom_bar_model.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>

namespace sorvin {

namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QPushButton* barButton(QWidget* parent) {
    auto* button = new QPushButton(parent);
    button->setFlat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(SorvinLook::font(12));
    button->setFixedHeight(24);
    button->setGraphicsEffect(new QGraphicsOpacityEffect(button));
    return button;
}

void styleButton(QPushButton* button, const ViewColor& foreground, const ViewColor& background, int inset,
                 bool enabled) {
    button->setEnabled(enabled);
    static_cast<QGraphicsOpacityEffect*>(button->graphicsEffect())
        ->setOpacity(enabled ? 1.0 : kDisabledOpacity);
    SorvinLook::restyle(
        *button,
        QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 6px;"
                       " padding: 0 %3px; }")
            .arg(toQColor(foreground).name(QColor::HexArgb), toQColor(background).name(QColor::HexArgb))
            .arg(inset));
}

} // namespace

BottomBarView::BottomBarView(AppState& state, FinishInputThen finishInputThen, QWidget* parent)
    : QWidget(parent), state_(state), finishInputThen_(std::move(finishInputThen)), filter_(barButton(this)),
      slider_(new QSlider(Qt::Horizontal, this)), counter_(new QLabel(this)), loupe_(barButton(this)),
      singleExport_(barButton(this)), batchExport_(barButton(this)) {
    setFixedHeight(static_cast<int>(BottomBarModel::kHeight));
    counter_->setTextFormat(Qt::PlainText);
    counter_->setFont(SorvinLook::font(13));
    counter_->setStyleSheet(QStringLiteral("color: %1;").arg(toQColor(ViewPalette::text).name()));
    slider_->setSingleStep(1);
    slider_->setPageStep(1);
    slider_->setFocusPolicy(Qt::NoFocus);
    // The photo changes when the knob is let go, not while it moves.
    slider_->setTracking(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 0, 14, 0);
    layout->setSpacing(18);
    auto* left = new QHBoxLayout;
    left->setSpacing(8);
    left->addWidget(filter_);
    left->addWidget(slider_, 1);
    layout->addLayout(left, 1);
    layout->addWidget(counter_);
    auto* right = new QHBoxLayout;
    right->setSpacing(8);
    right->addWidget(loupe_);
    right->addWidget(singleExport_);
    right->addWidget(batchExport_);
    layout->addLayout(right);

    loupe_->setText(text(BottomBarModel::kLoupeLabel));
    singleExport_->setText(text(BottomBarModel::kSingleExportLabel));

    connect(filter_, &QPushButton::clicked, this, [this] { state_.toggleFilter(); });
    connect(loupe_, &QPushButton::clicked, this,
            [this] { finishInputThen_([this] { state_.toggleLoupe(); }); });
    connect(singleExport_, &QPushButton::clicked, this,
            [this] { finishInputThen_([this] { state_.presentCurrentPhotoExport(); }); });
    connect(batchExport_, &QPushButton::clicked, this,
            [this] { finishInputThen_([this] { state_.presentExport(); }); });
    connect(slider_, &QSlider::sliderReleased, this, [this] {
        // The value is read when the deferred action runs.
        finishInputThen_([this] { state_.jump(slider_->sliderPosition()); });
    });
    // A click on the groove and a step of the wheel move the knob without a drag; each counts as a
    // release there, so that the photo never disagrees with the knob.
    connect(slider_, &QSlider::actionTriggered, this, [this] {
        if (slider_->isSliderDown()) return;
        finishInputThen_([this] { state_.jump(slider_->sliderPosition()); });
    });
    refresh();
}

void BottomBarView::refresh() {
    const BottomBarModel bar = BottomBarModel::make(BottomBarModel::inputs(state_));
    filter_->setText(QString::fromStdString(bar.filterLabel));
    styleButton(filter_, ViewPalette::text, ViewPalette::separator, 8, bar.filterEnabled);
    styleButton(loupe_, bar.loupeOn ? ViewPalette::white : ViewPalette::text,
                bar.loupeOn ? ViewPalette::accent : ViewPalette::separator, 10, bar.loupeEnabled);
    loupe_->setCursor(bar.loupeEnabled ? Qt::PointingHandCursor : Qt::ArrowCursor);
    styleButton(singleExport_, ViewPalette::text, ViewPalette::separator, 8, bar.singleExportEnabled);
    batchExport_->setText(QString::fromStdString(bar.batchExportLabel));
    styleButton(batchExport_, ViewPalette::white, ViewPalette::accent, 8, bar.batchExportEnabled);
    counter_->setText(QString::fromStdString(bar.counter));
    slider_->setRange(0, bar.sliderMaximum);
    slider_->setEnabled(bar.sliderEnabled);
}

void BottomBarView::followCursor() {
    const BottomBarModel::Inputs in = BottomBarModel::inputs(state_);
    // The range first: the cursor may lie beyond the range of the list shown so far (a folder just
    // opened, the filter just turned off), and the slider would keep its value clamped to that.
    slider_->setRange(0, BottomBarModel::make(in).sliderMaximum);
    slider_->setValue(in.cursorIndex);
    slider_->setSliderPosition(in.cursorIndex);
}

QString BottomBarView::counterText() const {
    return counter_->text();
}

void BottomBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(ViewPalette::background.withOpacity(0.8)));
    painter.fillRect(QRect(0, 0, width(), 1), toQColor(ViewPalette::separator));
}

} // namespace sorvin
