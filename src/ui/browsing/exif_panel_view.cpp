#include "ui/browsing/exif_panel_view.hpp"

#include "app/app_state.hpp"
#include "shell/browsing_screen_model.hpp"
#include "ui/browsing/histogram_graph_view.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/platform/elided_label.hpp"
#include "ui/platform/plain_tool_tip.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

namespace sorvin {

namespace {

QString colorStyle(const ViewColor& color) {
    return QStringLiteral("color: %1;").arg(toQColor(color).name(QColor::HexArgb));
}

QLabel* label(const QString& text, int pixels, const ViewColor& color, QWidget* parent, bool bold = false) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setFont(SorvinLook::font(pixels, bold ? QFont::Bold : QFont::Normal));
    l->setStyleSheet(colorStyle(color));
    return l;
}

QWidget* separatorLine(QWidget* parent) {
    auto* holder = new QWidget(parent);
    holder->setFixedHeight(17);
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(12, 8, 12, 8);
    auto* line = new QWidget(holder);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    line->setStyleSheet(QStringLiteral("background: %1;").arg(toQColor(ViewPalette::separator).name()));
    layout->addWidget(line);
    return holder;
}

} // namespace

ExifPanelView::ExifPanelView(AppState& state, QWidget* parent)
    : QScrollArea(parent), state_(state), panelWidth_(state.rightPanelWidth()), content_(new QWidget),
      rows_(new QVBoxLayout),
      copy_(new QPushButton(QStringLiteral("EXIFをコピー（Ctrl+I）"))),
      graph_(new HistogramGraphView(nullptr)), clipping_(nullptr) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(true);
    content_->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(
        QStringLiteral("QScrollArea { background: %1; }").arg(toQColor(ViewPalette::sidePanel).name()));

    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 12, 12, 12);
    header->setSpacing(8);
    header->addWidget(label(QStringLiteral("撮影情報"), 13, ViewPalette::text, content_, true));
    header->addStretch(1);
    copy_->setParent(content_);
    copy_->setFlat(true);
    copy_->setFocusPolicy(Qt::NoFocus);
    copy_->setFont(SorvinLook::font(11));
    copy_->setFixedHeight(22);
    copy_->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 5px;"
                       " padding: 0 8px; }")
            .arg(toQColor(ViewPalette::text).name(), toQColor(ViewPalette::separator).name()));
    copy_->setGraphicsEffect(new QGraphicsOpacityEffect(copy_));
    connect(copy_, &QPushButton::clicked, this, [this] { state_.copyExifText(); });
    header->addWidget(copy_);
    column->addLayout(header);

    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    column->addLayout(rows_);

    auto* histogram = new QVBoxLayout;
    histogram->setContentsMargins(12, 0, 12, 12);
    histogram->setSpacing(0);
    auto* title = label(QStringLiteral("ヒストグラム"), 13, ViewPalette::text, content_, true);
    title->setContentsMargins(0, 12, 0, 12);
    histogram->addWidget(title);
    graph_->setParent(content_);
    histogram->addWidget(graph_);
    clipping_ = label(QString(), 11, ViewPalette::secondaryText, content_);
    clipping_->setContentsMargins(0, 4, 0, 0);
    histogram->addWidget(clipping_);
    column->addLayout(histogram);
    column->addStretch(1);
    setWidget(content_);
    refresh();
}

QCheckBox* ExifPanelView::checkbox(ExifCopyField field) const {
    for (const auto& group : rowWidgets_)
        for (const RowWidgets& row : group)
            if (row.field == field && !row.line->isHidden()) return row.box;
    return nullptr;
}

void ExifPanelView::setPanelWidth(double width) {
    if (width == panelWidth_) return;
    panelWidth_ = width;
    refresh();
}

void ExifPanelView::refresh() {
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    const PhotoSource source = library ? library->currentSource() : PhotoSource::jpeg;
    const double rotation = library ? library->currentRotation() : 0;
    model_ = ExifPanelModel::make(ExifPanelModel::inputs(state_.exifLoader(), state_.histogramLoader(), photo,
                                                         source, rotation, state_.exifCopySelection()));
    const double panelWidth = panelWidth_;
    setFixedWidth(static_cast<int>(std::lround(panelWidth)));

    copy_->setEnabled(model_.canCopyExif);
    static_cast<QGraphicsOpacityEffect*>(copy_->graphicsEffect())
        ->setOpacity(model_.canCopyExif ? 1.0 : kDisabledOpacity);
    if (model_.groups != shownGroups_) fillRows();
    graph_->setData(model_.histogram, ExifPanelLayout::graphWidth(panelWidth));
    clipping_->setText(QString::fromStdString(model_.clippingText));

    // Another photo or another parameter page starts the panel at its top.
    const ExifPanelScrollResetID id = exifPanelScrollResetID(photo, state_.parameterPage());
    if (!shownOnce_ || id != scrollID_) verticalScrollBar()->setValue(0);
    scrollID_ = id;
    shownOnce_ = true;
}

// Every row of the layout is made once; another photo only writes other values into them and
// shows the rows it has.
void ExifPanelView::buildRows() {
    for (const auto& layoutGroup : ExifPanelLayout::groups()) {
        std::vector<RowWidgets>& group = rowWidgets_.emplace_back();
        for (const ExifPanelRowLayout& layoutRow : layoutGroup) {
            RowWidgets row{layoutRow.field, nullptr, nullptr, nullptr, nullptr, nullptr};
            row.line = new QWidget(content_);
            row.line->setFixedHeight(static_cast<int>(ExifPanelLayout::rowHeight));
            auto* layout = new QHBoxLayout(row.line);
            layout->setContentsMargins(12, 0, 12, 0);
            layout->setSpacing(8);
            row.name = label(QString(), 11, ViewPalette::secondaryText, row.line);
            layout->addWidget(row.name);
            layout->addStretch(1);
            auto* value = new ElidedLabel(row.line);
            value->setFont(SorvinLook::font(12));
            // Long values give way to the label and are cut at the end.
            value->setMinimumWidth(0);
            value->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            layout->addWidget(value, 0);
            row.value = value;
            row.badge = label(QString(), 9, ViewPalette::white, row.line, true);
            row.badge->setFixedHeight(14);
            row.badge->setStyleSheet(
                QStringLiteral("color: white; background: %1; border-radius: 3px; padding: 0 4px;")
                    .arg(toQColor(ViewPalette::accent).name()));
            row.badge->hide();
            layout->addWidget(row.badge);
            row.box = new QCheckBox(row.line);
            row.box->setFocusPolicy(Qt::NoFocus);
            row.box->setFixedWidth(14);
            connect(row.box, &QCheckBox::toggled, this, [this, field = layoutRow.field](bool on) {
                if (ExifPanelModel::checkboxChangeToggles(state_.exifCopySelection(), field, on))
                    state_.toggleExifCopyField(field);
            });
            layout->addWidget(row.box);
            rows_->addWidget(row.line);
            group.push_back(row);
        }
        rows_->addWidget(separatorLine(content_));
    }
}

void ExifPanelView::fillRows() {
    shownGroups_ = model_.groups;
    if (rowWidgets_.empty()) buildRows();
    for (std::size_t g = 0; g < rowWidgets_.size(); ++g) {
        // The model's rows of a group are the layout's rows that it shows, in the same order.
        const std::vector<ExifPanelRow> none;
        const auto& rows = g < model_.groups.size() ? model_.groups[g] : none;
        std::size_t next = 0;
        for (RowWidgets& widgets : rowWidgets_[g]) {
            const bool shown = next < rows.size() && rows[next].field == widgets.field;
            widgets.line->setVisible(shown);
            if (!shown) continue;
            const ExifPanelRow& row = rows[next++];
            widgets.name->setText(QString::fromStdString(row.label));
            const QString value = QString::fromStdString(row.value);
            widgets.value->setText(value);
            widgets.value->setToolTip(plainToolTip(value));
            QPalette colors = widgets.value->palette();
            if (colors.color(QPalette::WindowText) != toQColor(row.valueColor)) {
                colors.setColor(QPalette::WindowText, toQColor(row.valueColor));
                widgets.value->setPalette(colors);
            }
            widgets.badge->setText(QString::fromStdString(row.badge.value_or("")));
            widgets.badge->setVisible(row.badge.has_value());
            // The box shows the selection; its toggled signal then asks for no change.
            if (widgets.box->isChecked() != row.checked) widgets.box->setChecked(row.checked);
        }
    }
}

void ExifPanelView::paintEvent(QPaintEvent* event) {
    QScrollArea::paintEvent(event);
    QPainter painter(viewport());
    painter.fillRect(QRect(0, 0, 1, viewport()->height()), toQColor(ViewPalette::separator));
}

} // namespace sorvin
