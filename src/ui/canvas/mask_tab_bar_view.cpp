#include "ui/canvas/mask_tab_bar_view.hpp"

#include "app/app_state.hpp"
#include "library/photo_library.hpp"
#include "model/mask_kind_catalog.hpp"
#include "ui/canvas/mask_addition_sheet.hpp"
#include "ui/overlays/sheet_host.hpp"
#include "ui/platform/library_observer.hpp"
#include "ui/platform/signal_adapter.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace sorvin {

namespace {

// A plain button drawn as a filled rounded box with its label.
class FilledButton : public QPushButton {
public:
    FilledButton(const QString& text, int pixelSize, QWidget* parent) : QPushButton(text, parent) {
        setFont(SorvinLook::font(pixelSize));
        setFlat(true);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
    }
    // Repaints only on a change: the bar is refreshed on every change of the state, and a repaint
    // of the bar also repaints what lies under its translucent background.
    void setColors(QColor background, QColor label) {
        if (background == background_ && label == label_) return;
        background_ = background;
        label_ = label;
        update();
    }
    void setFaded(bool faded) {
        const double opacity = faded ? 0.4 : 1.0;
        if (opacity == opacity_) return;
        opacity_ = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(opacity_);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 5, 5);
        painter.fillPath(shape, background_);
        painter.setPen(label_);
        painter.setFont(font());
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    QColor background_ = SorvinColor::separator();
    QColor label_ = SorvinColor::text();
    double opacity_ = 1.0;
};

void fitToText(QPushButton* button, int height) {
    button->setFixedSize(QFontMetrics(button->font()).horizontalAdvance(button->text()) + 20, height);
}

} // namespace

MaskTabBarView::MaskTabBarView(AppState& state, QWidget* parent)
    : QWidget(parent), state_(state), tabRow_(new QHBoxLayout()), add_(new FilledButton("＋", 14, this)),
      copy_(new FilledButton("画像をコピー（Ctrl+P）", 12, this)) {
    setFixedHeight(30);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 0, 8, 0);
    row->setSpacing(0);
    tabRow_->setSpacing(6);
    row->addLayout(tabRow_);
    row->addSpacing(12);
    add_->setFixedSize(24, 22);
    row->addWidget(add_);
    row->addStretch();
    fitToText(copy_, 22);
    static_cast<FilledButton*>(copy_)->setColors(SorvinColor::separator(), SorvinColor::text());
    row->addWidget(copy_);

    connect(add_, &QPushButton::clicked, this, [this] { state_.presentMaskAddition(); });
    connect(copy_, &QPushButton::clicked, this, [this] { state_.copyCurrentImage(); });
    connect(new SignalAdapter(state.changed, this), &SignalAdapter::fired, this, [this] { refresh(); });
    connect(new LibraryObserver(state, this), &LibraryObserver::changed, this, [this] { refresh(); });
    refresh();
}

MaskTabBarView::~MaskTabBarView() = default;

QColor MaskTabBarView::color(std::string_view hex) {
    const auto parsed = MaskTabBarModel::color(hex);
    if (!parsed) return SorvinColor::text();
    return QColor(parsed->red, parsed->green, parsed->blue);
}

void MaskTabBarView::refresh() {
    const PhotoLibrary* library = state_.library();
    const bool hasPhoto = library && library->currentPhoto();
    const PhotoParameters parameters = hasPhoto ? library->currentParameters() : PhotoParameters{};
    MaskTabBarModel model =
        MaskTabBarModel::make(parameters, state_.editTarget(), hasPhoto, MaskKindCatalog::current());
    if (model.items.size() != model_.items.size() || tabs_.isEmpty()) {
        for (QPushButton* tab : tabs_) {
            // Gone from the screen at once, not only when the event loop deletes it.
            tab->hide();
            tab->deleteLater();
        }
        tabs_.clear();
        for (std::size_t i = 0; i < model.items.size(); ++i) {
            auto* tab = new FilledButton(QString(), 12, this);
            const int index = static_cast<int>(i);
            connect(tab, &QPushButton::clicked, this, [this, index] {
                if (index < static_cast<int>(model_.items.size()))
                    state_.selectEditTarget(model_.items[index].target);
            });
            tabRow_->addWidget(tab);
            tabs_.push_back(tab);
        }
    }
    model_ = std::move(model);
    for (std::size_t i = 0; i < model_.items.size(); ++i) {
        const auto& item = model_.items[i];
        auto* tab = static_cast<FilledButton*>(tabs_[static_cast<int>(i)]);
        // Measuring the text costs more than the rest of the refresh: only a new title is measured.
        if (const QString title = QString::fromStdString(item.title); title != tab->text()) {
            tab->setText(title);
            fitToText(tab, 22);
        }
        tab->setColors(color(item.backgroundHex), color(item.textHex));
    }
    auto* add = static_cast<FilledButton*>(add_);
    add->setEnabled(model_.canAddMask);
    add->setColors(color(model_.addButtonBackgroundHex), color(model_.addButtonTextHex));
    const bool canCopy = hasPhoto && !state_.isModalExportPresented() && !state_.isImageCopyInProgress();
    copy_->setEnabled(canCopy);
    static_cast<FilledButton*>(copy_)->setFaded(!canCopy);
    presentSheet();
}

void MaskTabBarView::presentSheet() {
    if (state_.isMaskAddPresented() && !sheet_) {
        sheet_ = new MaskAdditionSheet(state_, window());
        connect(sheet_, &QDialog::finished, this, [this, sheet = sheet_] {
            sheet->deleteLater();
            if (sheet_ == sheet) sheet_ = nullptr;
        });
        SheetHost::present(*sheet_);
    } else if (!state_.isMaskAddPresented() && sheet_) {
        sheet_->done(QDialog::Accepted);
    }
}

void MaskTabBarView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor background = SorvinColor::background();
    background.setAlphaF(0.8f);
    painter.fillRect(rect(), background);
}

} // namespace sorvin
