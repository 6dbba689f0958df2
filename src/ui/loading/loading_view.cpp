#include "ui/loading/loading_view.hpp"

#include "app/app_state.hpp"
#include "shell/loading_progress.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace sorvin {

namespace {
// The bar counts in thousandths, so a total above the range of its integers still moves smoothly.
constexpr int barSteps = 1000;
constexpr int title2PixelSize = 22;
} // namespace

LoadingView::LoadingView(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), bar_(new QProgressBar(this)), counter_(new QLabel(this)),
      waitReason_(new QLabel(this)), cancel_(new QPushButton(QStringLiteral("キャンセル"), this)) {
    auto* title = new QLabel(QStringLiteral("写真を読み込んでいます"), this);
    title->setFont(SorvinLook::font(title2PixelSize));
    bar_->setRange(0, barSteps);
    bar_->setTextVisible(false);
    bar_->setMaximumWidth(LoadingProgress::maximumBarWidth);
    bar_->setMinimumWidth(0);
    bar_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    counter_->setTextFormat(Qt::PlainText);
    waitReason_->setTextFormat(Qt::PlainText);
    waitReason_->setWordWrap(true);
    waitReason_->setAlignment(Qt::AlignHCenter);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(24);
    column->addStretch(1);
    column->addWidget(title, 0, Qt::AlignHCenter);
    column->addWidget(bar_, 0, Qt::AlignHCenter);
    column->addWidget(counter_, 0, Qt::AlignHCenter);
    column->addWidget(waitReason_, 0, Qt::AlignHCenter);
    column->addWidget(cancel_, 0, Qt::AlignHCenter);
    column->addStretch(1);

    connect(cancel_, &QPushButton::clicked, this, [this] { state_.cancelLoading(); });
    refresh();
}

void LoadingView::resizeEvent(QResizeEvent*) {
    // At most 420 points, narrower with a narrow window.
    const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
    bar_->setFixedWidth(std::max(0, std::min(LoadingProgress::maximumBarWidth, width() - margins)));
    fitWaitReason();
}

void LoadingView::fitWaitReason() {
    // As wide as the bar, and as high as its lines need: the layout would give a centred label the
    // height its text takes across the whole window, one line.
    const int width = bar_->width();
    waitReason_->setFixedSize(width, std::max(0, waitReason_->heightForWidth(width)));
}

void LoadingView::refresh() {
    const int processed = state_.loadingProcessed();
    const int total = state_.loadingTotal();
    const double fraction = std::clamp(processed / LoadingProgress::barTotal(total), 0.0, 1.0);
    bar_->setValue(static_cast<int>(std::lround(fraction * barSteps)));
    counter_->setText(QString::fromStdString(LoadingProgress::counterText(processed, total)));
    const auto& wait = state_.recordWait();
    waitReason_->setText(wait ? QString::fromStdString(LoadingProgress::waitText(*wait)) : QString());
    waitReason_->setVisible(wait.has_value());
    fitWaitReason();
}

} // namespace sorvin
