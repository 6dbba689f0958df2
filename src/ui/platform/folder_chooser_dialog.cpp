#include "ui/platform/folder_chooser_dialog.hpp"

#include "platform/mount_watch.hpp"
#include "ui/platform/folder_rows_model.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace sorvin {

namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kPlacesWidth = 150;
constexpr int kNameColumnWidth = 420;
constexpr int kAnsweredRowsMilliseconds = 50;

QStyle::StandardPixmap placeIcon(FolderChooserModel::PlaceKind kind) {
    switch (kind) {
    case FolderChooserModel::PlaceKind::home:
        return QStyle::SP_DirHomeIcon;
    case FolderChooserModel::PlaceKind::computer:
        return QStyle::SP_ComputerIcon;
    case FolderChooserModel::PlaceKind::volume:
        return QStyle::SP_DriveHDIcon;
    case FolderChooserModel::PlaceKind::share:
        break;
    }
    return QStyle::SP_DriveNetIcon;
}

} // namespace

FolderChooserDialog::FolderChooserDialog(QWidget* parent, FolderProbe& probe, MountWatch* mounts,
                                         const std::filesystem::path& home, const std::filesystem::path& start,
                                         FolderChooserOptions options)
    : QDialog(parent), model_(probe, home, [this] { refresh_.request(); }, options.listsFiles),
      refresh_(this, [this] { refresh(); }), mounts_(mounts), listsFiles_(options.listsFiles),
      up_(new QToolButton(this)), field_(new QLineEdit(this)), places_(new QListWidget(this)),
      list_(new QTreeView(this)),
      rows_(new FolderRowsModel(model_, style()->standardIcon(QStyle::SP_DirIcon),
                                style()->standardIcon(QStyle::SP_FileIcon), this)),
      status_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("キャンセル"), this)), choose_(new QPushButton(options.acceptLabel, this)),
      answeredRowsTimer_(new QTimer(this)) {
    answeredRowsTimer_->setSingleShot(true);
    answeredRowsTimer_->setInterval(kAnsweredRowsMilliseconds);
    connect(answeredRowsTimer_, &QTimer::timeout, this, [this] { showAnsweredRows(); });
    setWindowTitle(options.title);
    resize(760, 480);

    up_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up_->setToolTip(QStringLiteral("上のフォルダへ"));
    auto* fieldLabel = new QLabel(QStringLiteral("ディレクトリ:"), this);
    fieldLabel->setBuddy(field_);
    auto* top = new QHBoxLayout();
    top->addWidget(up_);
    top->addWidget(fieldLabel);
    top->addWidget(field_, 1);

    places_->setFixedWidth(kPlacesWidth);

    list_->setModel(rows_);
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->resizeSection(0, kNameColumnWidth);
    list_->header()->setStretchLastSection(true);
    auto* middle = new QHBoxLayout();
    middle->addWidget(places_);
    middle->addWidget(list_, 1);

    status_->setTextFormat(Qt::PlainText);
    QPalette palette = status_->palette();
    palette.setColor(QPalette::WindowText, SorvinColor::secondaryText());
    status_->setPalette(palette);

    // Return belongs to the path field and the lists, never to a button.
    for (QPushButton* button : {cancel_, choose_}) button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(status_, 1);
    buttons->addWidget(cancel_);
    buttons->addWidget(choose_);

    column_ = new QVBoxLayout(this);
    if (!options.message.isEmpty()) {
        auto* message = new QLabel(options.message, this);
        message->setTextFormat(Qt::PlainText);
        column_->addWidget(message);
    }
    column_->addLayout(top);
    column_->addLayout(middle, 1);
    column_->addLayout(buttons);

    connect(up_, &QToolButton::clicked, this, [this] { model_.goUp(); });
    // A text field keeps Backspace for itself; Alt+Up goes up from anywhere.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this] { model_.goUp(); });
    }
    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.edit(text.toStdString()); });
    connect(field_, &QLineEdit::returnPressed, this, [this] {
        if (acceptAction_ && !model_.standsForTypedPath()) {
            acceptAction_();
            return;
        }
        model_.enter();
        if (!acceptAction_ && model_.accepted()) acceptNow();
    });
    const auto openPlace = [this](QListWidgetItem* item) {
        model_.openFolder(item->data(Qt::UserRole).toString().toStdString());
    };
    connect(places_, &QListWidget::itemClicked, this, openPlace);
    connect(places_, &QListWidget::itemActivated, this, openPlace);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { rowChosen(); });
    connect(list_, &QTreeView::activated, this, [this](const QModelIndex& index) {
        if (const auto entry = rows_->entryAt(index.row())) model_.openEntry(*entry);
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(choose_, &QPushButton::clicked, this, [this] {
        if (acceptAction_) {
            acceptAction_();
            return;
        }
        model_.accept();
        if (model_.accepted()) acceptNow();
    });

    if (mounts_) {
        model_.setMounts(mounts_->table());
        mounts_->setChanged([this] { model_.setMounts(mounts_->table()); });
    }
    model_.openFolder(start);
    refresh();
    field_->setFocus();
}

FolderChooserDialog::~FolderChooserDialog() {
    stopWatchingMounts();
}

// A dialog that closed asks nothing more and follows the mounts no more, whenever it goes.
void FolderChooserDialog::done(int result) {
    model_.stopAsking();
    stopWatchingMounts();
    QDialog::done(result);
}

QModelIndex FolderChooserDialog::rowNamed(const QString& name) const {
    for (int row = 0; row < rows_->rowCount(); ++row)
        if (rows_->index(row, 0).data().toString() == name) return rows_->index(row, 0);
    return {};
}

void FolderChooserDialog::stopWatchingMounts() {
    if (mounts_) mounts_->setChanged(nullptr);
    mounts_ = nullptr;
}

void FolderChooserDialog::addRow(QWidget* row) {
    column_->insertWidget(column_->count() - 1, row);
}

void FolderChooserDialog::setAcceptAction(std::function<void()> action) {
    acceptAction_ = std::move(action);
    refresh();
}

void FolderChooserDialog::acceptNow() {
    chosen_ = model_.accepted();
    accept();
}

void FolderChooserDialog::refresh() {
    if (!acceptAction_ && model_.accepted() && isVisible()) {
        acceptNow();
        return;
    }
    // The field is left alone while it holds what the user typed.
    if (field_->text() != qText(model_.fieldText())) field_->setText(qText(model_.fieldText()));
    showPlaces();
    showRows();
    status_->setText(qText(model_.status()));
    up_->setEnabled(model_.canGoUp());
    choose_->setEnabled(acceptAction_ ? model_.listingState() == FolderChooserModel::PathState::folder
                                      : model_.canAccept());
}

void FolderChooserDialog::showPlaces() {
    if (model_.places() == placesShown_) return;
    const QSignalBlocker blocker(places_);
    const QString current = places_->currentItem() ? places_->currentItem()->data(Qt::UserRole).toString() : QString();
    places_->clear();
    for (const FolderChooserModel::Place& place : model_.places()) {
        auto* item = new QListWidgetItem(style()->standardIcon(placeIcon(place.kind)), qText(place.label), places_);
        item->setData(Qt::UserRole, qText(place.path.string()));
        item->setToolTip(qText(place.path.string()));
        if (item->data(Qt::UserRole).toString() == current) places_->setCurrentItem(item);
    }
    placesShown_ = model_.places();
}

// A new listing fills the list at once; the entries that answered change their own rows, all
// that answered within a moment in one step, so that a folder of thousands of links answering one
// by one costs the list no more than a few layouts a second.
void FolderChooserDialog::showRows() {
    FolderChooserModel::RowChanges changes = model_.takeRowChanges();
    if (changes.all) {
        answeredRows_.clear();
        answeredRowsTimer_->stop();
        const QScopedValueRollback quiet(showingRows_, true);
        rows_->update(changes);
    } else if (!changes.entries.empty()) {
        answeredRows_.insert(answeredRows_.end(), changes.entries.begin(), changes.entries.end());
        if (!answeredRowsTimer_->isActive()) answeredRowsTimer_->start();
    }
    showSelection();
}

void FolderChooserDialog::showAnsweredRows() {
    std::sort(answeredRows_.begin(), answeredRows_.end());
    answeredRows_.erase(std::unique(answeredRows_.begin(), answeredRows_.end()), answeredRows_.end());
    {
        const QScopedValueRollback quiet(showingRows_, true);
        rows_->update({.all = false, .entries = std::exchange(answeredRows_, {})});
    }
    showSelection();
}

void FolderChooserDialog::showSelection() {
    const QScopedValueRollback quiet(showingRows_, true);
    const std::optional<std::size_t> selected = model_.selectedEntry();
    const QModelIndex wanted = selected ? rows_->index(rows_->rowOf(*selected).value_or(-1), 0) : QModelIndex();
    const QModelIndexList shown = list_->selectionModel()->selectedRows();
    if (wanted == (shown.isEmpty() ? QModelIndex() : shown.first())) return;
    if (wanted.isValid()) {
        list_->setCurrentIndex(wanted);
        list_->scrollTo(wanted);
    } else {
        list_->clearSelection();
    }
}

void FolderChooserDialog::rowChosen() {
    if (showingRows_) return;
    const QModelIndexList chosen = list_->selectionModel()->selectedRows();
    const std::optional<std::size_t> entry = chosen.isEmpty() ? std::nullopt : rows_->entryAt(chosen.first().row());
    model_.selectEntry(entry);
    if (!entry) return;
    const auto row = model_.entryRow(*entry);
    if (row && row->state == FolderChooserModel::PathState::notFolder && fileChosen_) fileChosen_(row->name);
}

} // namespace sorvin
