#include "ui/browsing/file_list_panel.hpp"

#include "app/app_state.hpp"
#include "library/photo_library.hpp"
#include "ui/browsing/view_colors.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

namespace sorvin {

namespace {

constexpr double kRowSpacing = 6;
constexpr double kHeartBox = 16;
constexpr double kBadgeHeight = 14;
constexpr double kBadgePadding = 4;
constexpr double kDeleteBox = 16;

QFont nameFont() {
    return SorvinLook::font(12);
}
QFont badgeFont() {
    return SorvinLook::font(9, QFont::Bold);
}
QFont adjustmentFont() {
    return SorvinLook::font(10);
}

double textWidth(const QFont& font, const QString& text) {
    return QFontMetricsF(font).horizontalAdvance(text);
}

void paintBadge(QPainter& painter, const QRectF& rect, const QString& text, bool selected) {
    QPainterPath shape;
    shape.addRoundedRect(rect, 3, 3);
    painter.fillPath(shape, toQColor(selected ? ViewPalette::accent : ViewPalette::separator));
    painter.setFont(badgeFont());
    painter.setPen(toQColor(selected ? ViewPalette::white : ViewPalette::dimmedGrey));
    painter.drawText(rect, Qt::AlignCenter, text);
}

class FileListRowDelegate : public QStyledItemDelegate {
public:
    explicit FileListRowDelegate(FileListView* view) : QStyledItemDelegate(view), view_(view) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {static_cast<int>(FileListPanelModel::kWidth), static_cast<int>(FileListRowModel::kRowHeight)};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        const auto row = index.data(FileListModel::RowModelRole).value<std::shared_ptr<FileListRowModel>>();
        if (!row) return;
        const bool hovered = view_->hoveredRow() == index.row();
        const auto geometry = view_->rowGeometry(*row, index, hovered);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->fillRect(geometry.row, toQColor(row->background(hovered)));

        painter->setFont(SorvinLook::font(11));
        painter->setPen(toQColor(row->heartColor()));
        painter->drawText(geometry.heart, Qt::AlignCenter,
                          row->hasHeart ? QStringLiteral("♥") : QStringLiteral("♡"));

        painter->setFont(nameFont());
        painter->setPen(toQColor(row->nameColor()));
        painter->drawText(geometry.name, Qt::AlignLeft | Qt::AlignVCenter, geometry.nameText);

        if (const auto presentation = row->sourcePresentation()) {
            paintBadge(*painter, geometry.jpegBadge, QString::fromStdString(presentation->jpegText),
                       row->badgeState(PhotoSource::jpeg) == SourceBadgeVisualState::selected);
            paintBadge(*painter, geometry.rawBadge, QString::fromStdString(presentation->rawText),
                       row->badgeState(PhotoSource::raw) == SourceBadgeVisualState::selected);
        }

        painter->setFont(adjustmentFont());
        painter->setPen(toQColor(row->badgeColor()));
        for (std::size_t i = 0; i < geometry.adjustmentBadges.size(); ++i)
            painter->drawText(geometry.adjustmentBadges[i], Qt::AlignCenter,
                              QString::fromStdString(row->badgeComponents[i]));

        if (row->showsDeleteButton(hovered)) {
            const bool overDelete = geometry.deleteButton.contains(view_->pointer());
            painter->setFont(SorvinLook::font(12));
            painter->setPen(toQColor(overDelete ? ViewPalette::text : ViewPalette::secondaryText));
            painter->drawText(geometry.deleteButton, Qt::AlignCenter, QStringLiteral("⊗"));
        }
        painter->restore();
    }

private:
    FileListView* view_;
};

} // namespace

// ---- Model ----

void FileListModel::setLibrary(const PhotoLibrary* library) {
    Signature next;
    if (library) {
        next = {library, library->visibleRows().size(), library->sortRevision(), library->isFiltered(),
                library->visibleRows().data()};
    }
    if (next != signature_) {
        beginResetModel();
        signature_ = next;
        compared_.clear();
        endResetModel();
    }
}

void FileListModel::refreshRows(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, rowCount() - 1);
    std::map<int, FileListRowModel> compared;
    for (int i = first; i <= last; ++i) {
        auto now = row(i);
        if (!now) continue;
        const auto before = compared_.find(i);
        if (before == compared_.end() || before->second != *now) Q_EMIT dataChanged(index(i), index(i));
        compared.emplace(i, std::move(*now));
    }
    compared_ = std::move(compared);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !signature_.library) return 0;
    return static_cast<int>(signature_.library->visibleRows().size());
}

std::optional<FileListRowModel> FileListModel::row(int index) const {
    if (!signature_.library || index < 0 || index >= rowCount()) return std::nullopt;
    return FileListRowModel::make(*signature_.library, signature_.library->visibleRows()[index]);
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (role != RowModelRole) {
        if (role == Qt::DisplayRole)
            if (auto r = row(index.row())) return QString::fromStdString(r->nameText());
        return {};
    }
    auto r = row(index.row());
    if (!r) return {};
    return QVariant::fromValue(std::make_shared<FileListRowModel>(std::move(*r)));
}

// ---- Geometry ----

FileListRowGeometry FileListRowGeometry::make(const FileListRowModel& row, const QRectF& rect, bool hovered) {
    FileListRowGeometry g;
    g.row = rect;
    double left = rect.left() + row.leadingInset();
    double right = rect.right() - FileListRowModel::kHorizontalPadding;
    const double midY = rect.center().y();
    g.heart = QRectF(left, rect.top(), kHeartBox, rect.height());
    left += kHeartBox + kRowSpacing;

    if (row.showsDeleteButton(hovered)) {
        g.deleteButton = QRectF(right - kDeleteBox, rect.top(), kDeleteBox, rect.height());
        right -= kDeleteBox + kRowSpacing;
    }
    // The adjustment badges keep their natural size; the name gives way.
    const QFont adjustment = adjustmentFont();
    double badgesWidth = 0;
    std::vector<double> widths;
    for (const auto& component : row.badgeComponents) {
        widths.push_back(std::ceil(textWidth(adjustment, QString::fromStdString(component))));
        badgesWidth += widths.back();
    }
    if (!widths.empty()) {
        badgesWidth += 4.0 * static_cast<double>(widths.size() - 1);
        double x = right - badgesWidth;
        for (double w : widths) {
            g.adjustmentBadges.push_back(QRectF(x, rect.top(), w, rect.height()));
            x += w + 4;
        }
        right -= badgesWidth + kRowSpacing;
    }

    const auto presentation = row.sourcePresentation();
    double sourceWidth = 0;
    double jpegWidth = 0;
    double rawWidth = 0;
    if (presentation) {
        jpegWidth = std::ceil(textWidth(badgeFont(), QString::fromStdString(presentation->jpegText))) +
                    2 * kBadgePadding;
        rawWidth = std::ceil(textWidth(badgeFont(), QString::fromStdString(presentation->rawText))) +
                   2 * kBadgePadding;
        sourceWidth = 4 + jpegWidth + 4 + rawWidth;
    }
    const QString fullName = QString::fromStdString(row.nameText());
    const double nameRoom = std::max(0.0, right - left - sourceWidth);
    g.nameText = QFontMetricsF(nameFont()).elidedText(fullName, Qt::ElideRight, nameRoom);
    const double nameWidth = std::min(nameRoom, std::ceil(textWidth(nameFont(), g.nameText)));
    g.name = QRectF(left, rect.top(), nameWidth, rect.height());
    if (presentation) {
        double x = left + nameWidth + 4;
        g.jpegBadge = QRectF(x, midY - kBadgeHeight / 2, jpegWidth, kBadgeHeight);
        x += jpegWidth + 4;
        g.rawBadge = QRectF(x, midY - kBadgeHeight / 2, rawWidth, kBadgeHeight);
    }
    return g;
}

// ---- View ----

FileListView::FileListView(QWidget* parent) : QListView(parent) {
    setMouseTracking(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setItemDelegate(new FileListRowDelegate(this));
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    // Rows scrolled under a pointer that stays put: the one now under it is hovered.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (pointerInside_) hover(pointer_);
    });
}

void FileListView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles) {
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

FileListRowGeometry FileListView::rowGeometry(const FileListRowModel& row, const QModelIndex& index,
                                              bool hovered) const {
    const QRect visual = visualRect(index);
    return FileListRowGeometry::make(row, QRectF(0, visual.top(), viewport()->width(), visual.height()),
                                     hovered);
}

void FileListView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const QModelIndex index = indexAt(event->position().toPoint());
    auto* list = static_cast<FileListModel*>(model());
    const auto row = list ? list->row(index.row()) : std::nullopt;
    if (!row) return;
    // The pointer is over the row it presses.
    const auto geometry = rowGeometry(*row, index, true);
    const QPointF p = event->position();
    if (geometry.deleteButton.contains(p)) {
        if (deleteClicked) deleteClicked(*row);
    } else if (geometry.jpegBadge.contains(p)) {
        if (badgeClicked) badgeClicked(*row, PhotoSource::jpeg);
    } else if (geometry.rawBadge.contains(p)) {
        if (badgeClicked) badgeClicked(*row, PhotoSource::raw);
    } else if (rowClicked) {
        rowClicked(*row);
    }
}

void FileListView::mouseMoveEvent(QMouseEvent* event) {
    pointerInside_ = true;
    hover(event->position());
}

bool FileListView::viewportEvent(QEvent* event) {
    // The viewport, not the whole view: the pointer leaves the rows for the scroll bar too.
    if (event->type() == QEvent::Leave) {
        pointerInside_ = false;
        hoveredRow_ = -1;
        viewport()->update();
    }
    return QListView::viewportEvent(event);
}

void FileListView::hover(QPointF at) {
    pointer_ = at;
    const QModelIndex index = indexAt(at.toPoint());
    bool overButton = false;
    if (auto* list = static_cast<FileListModel*>(model()))
        if (auto r = list->row(index.row())) {
            const auto g = rowGeometry(*r, index, true);
            overButton = g.jpegBadge.contains(at) || g.rawBadge.contains(at);
        }
    viewport()->setCursor(overButton ? Qt::PointingHandCursor : Qt::ArrowCursor);
    hoveredRow_ = index.row();
    viewport()->update();
}

// ---- Panel ----

FileListPanel::FileListPanel(AppState& state, MainQueue& mainQueue, std::function<void()> clearInputFocus,
                             QWidget* parent)
    : QWidget(parent), state_(state), mainQueue_(mainQueue), clearInputFocus_(std::move(clearInputFocus)),
      throttle_(mainQueue), sortKey_(new QPushButton(this)), sortDirection_(new QPushButton(this)),
      list_(new FileListView(this)), model_(new FileListModel(this)) {
    setFixedWidth(static_cast<int>(FileListPanelModel::kWidth));
    list_->setModel(model_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 1, 0);
    column->setSpacing(0);
    auto* sortBar = new QWidget(this);
    sortBar->setFixedHeight(static_cast<int>(FileListPanelModel::kSortBarHeight));
    auto* sortLayout = new QHBoxLayout(sortBar);
    sortLayout->setContentsMargins(8, 0, 8, 1);
    sortLayout->setSpacing(8);
    const int buttonHeight = static_cast<int>(FileListPanelModel::kSortBarHeight) - 1; // above the line
    for (QPushButton* button : {sortKey_, sortDirection_}) {
        button->setParent(sortBar);
        button->setFlat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFont(SorvinLook::font(11));
        button->setStyleSheet(
            QStringLiteral("QPushButton { color: %1; border: none; background: transparent; padding: 0; }"
                           " QPushButton:hover { color: %2; }")
                .arg(toQColor(FileListPanelModel::sortButtonColor(false)).name(),
                     toQColor(FileListPanelModel::sortButtonColor(true)).name()));
        // The whole height of the bar takes the click, not only the glyphs.
        button->setFixedHeight(buttonHeight);
        sortLayout->addWidget(button);
    }
    // The arrow alone is a few points wide: it stands in the middle of a square.
    sortDirection_->setMinimumWidth(buttonHeight);
    sortLayout->addStretch(1);
    column->addWidget(sortBar);
    column->addWidget(list_, 1);

    connect(sortKey_, &QPushButton::clicked, this, [this] {
        clearInputFocus_();
        state_.toggleSortKey();
    });
    connect(sortDirection_, &QPushButton::clicked, this, [this] {
        clearInputFocus_();
        state_.setSort(state_.sortKey(), !state_.sortAscending());
    });

    // Operations started from a row run on the main queue's next turn, after the click is over.
    auto later = [this](std::function<void()> action) {
        clearInputFocus_();
        mainQueue_.post([weak = std::weak_ptr<FileListPanel*>(self_), action = std::move(action)] {
            if (weak.lock()) action();
        });
    };
    list_->rowClicked = [this, later](const FileListRowModel& row) {
        later([this, path = row.photo.relativePath, slot = row.slot] { state_.jump(path, slot); });
    };
    list_->badgeClicked = [this, later](const FileListRowModel& row, PhotoSource source) {
        later([this, path = row.photo.relativePath, slot = row.slot, source] {
            state_.selectSource(source, path, slot, true, true);
        });
    };
    list_->deleteClicked = [this, later](const FileListRowModel& row) {
        later([this, path = row.photo.relativePath] {
            // Only this photo's copy is deleted: where the jump is refused (the row went meanwhile)
            // the cursor may stand on another photo's copy.
            if (!state_.jump(path, RetouchSlot::b)) return;
            if (state_.library()->currentCursor() == RetouchCursor{path, RetouchSlot::b})
                state_.deleteRetouchDuplicate();
        });
    };
    refresh();
}

void FileListPanel::followLibrary() {
    model_->setLibrary(state_.library());
}

void FileListPanel::refresh() {
    const PhotoLibrary* library = state_.library();
    followLibrary();
    const QRect view = list_->viewport()->rect();
    const QModelIndex top = list_->indexAt(view.topLeft());
    const QModelIndex bottom = list_->indexAt(view.bottomLeft());
    // Below the last row the view shows nothing.
    if (top.isValid())
        model_->refreshRows(top.row(), bottom.isValid() ? bottom.row() : model_->rowCount() - 1);
    sortKey_->setText(QString::fromStdString(
        FileListPanelModel::sortKeyLabel(library ? library->sortKey() : state_.sortKey())));
    sortDirection_->setText((library ? library->sortAscending() : state_.sortAscending())
                                ? QStringLiteral("↑")
                                : QStringLiteral("↓"));
    if (library != shownLibrary_) {
        shownLibrary_ = library;
        shownRowID_ = library ? FileListPanelModel::currentRowID(*library) : std::nullopt;
        shownSortRevision_ = library ? library->sortRevision() : -1;
        throttle_.cancel();
        if (isVisible()) scrollIfNeeded();
        return;
    }
    if (!library) return;
    if (library->sortRevision() != shownSortRevision_) {
        shownSortRevision_ = library->sortRevision();
        shownRowID_ = FileListPanelModel::currentRowID(*library);
        throttle_.cancel();
        if (scrollToCurrent()) throttle_.recordScroll();
        return;
    }
    const auto id = FileListPanelModel::currentRowID(*library);
    if (id != shownRowID_) {
        shownRowID_ = id;
        throttle_.navigation([weak = std::weak_ptr<FileListPanel*>(self_)] {
            auto self = weak.lock();
            return self && (*self)->scrollIfNeeded();
        });
    }
}

std::optional<int> FileListPanel::currentRowIndex() const {
    const PhotoLibrary* library = state_.library();
    const Photo* photo = library ? library->currentPhoto() : nullptr;
    if (!photo) return std::nullopt;
    return library->cachedVisibleRowIndex(RetouchCursor{photo->relativePath, library->currentSlot()});
}

bool FileListPanel::isRowVisible(const std::string& id) const {
    const QRect area = list_->viewport()->rect();
    for (int i = 0; i < model_->rowCount(); ++i) {
        const QModelIndex index = model_->index(i);
        const QRect rect = list_->visualRect(index);
        if (rect.bottom() < area.top()) continue;
        if (rect.top() > area.bottom()) break;
        if (auto row = model_->row(i); row && row->id() == id) return true;
    }
    return false;
}

bool FileListPanel::scrollIfNeeded() {
    const auto index = currentRowIndex();
    if (!index) return false;
    const QRect rect = list_->visualRect(model_->index(*index));
    const QRect area = list_->viewport()->rect();
    if (rect.isValid() && rect.bottom() >= area.top() && rect.top() <= area.bottom()) return false;
    return scrollToCurrent();
}

bool FileListPanel::scrollToCurrent() {
    if (!currentRowIndex()) return false;
    mainQueue_.post([weak = std::weak_ptr<FileListPanel*>(self_)] {
        auto self = weak.lock();
        if (!self) return;
        FileListPanel* panel = *self;
        if (auto index = panel->currentRowIndex())
            panel->list_->scrollTo(panel->model_->index(*index), QAbstractItemView::PositionAtCenter);
    });
    return true;
}

void FileListPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(ViewPalette::sidePanel));
    painter.fillRect(QRect(0, static_cast<int>(FileListPanelModel::kSortBarHeight) - 1, width(), 1),
                     toQColor(ViewPalette::separator));
    painter.fillRect(QRect(width() - 1, 0, 1, height()), toQColor(ViewPalette::separator));
}

void FileListPanel::showEvent(QShowEvent*) {
    scrollIfNeeded();
}

void FileListPanel::hideEvent(QHideEvent*) {
    throttle_.cancel();
}

} // namespace sorvin
