#include "ui/platform/folder_chooser_dialog.hpp"

#include "platform/mount_watch.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace sorvin {

namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kPlacesWidth = 150;
constexpr int kNameColumnWidth = 420;
constexpr int kEntryRole = Qt::UserRole;

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
      list_(new QTreeWidget(this)), status_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("キャンセル"), this)), choose_(new QPushButton(options.acceptLabel, this)) {
    setWindowTitle(options.title);
    folderIcon_ = style()->standardIcon(QStyle::SP_DirIcon);
    fileIcon_ = style()->standardIcon(QStyle::SP_FileIcon);
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

    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("名前"), QStringLiteral("種類")});
    list_->setRootIsDecorated(false);
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
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> items = list_->selectedItems();
        if (items.isEmpty()) {
            model_.selectEntry(std::nullopt);
            return;
        }
        const auto entry = static_cast<std::size_t>(items.first()->data(0, kEntryRole).toULongLong());
        model_.selectEntry(entry);
        const auto row = model_.entryRow(entry);
        if (row && row->state == FolderChooserModel::PathState::notFolder && fileChosen_) fileChosen_(row->name);
    });
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        model_.openEntry(static_cast<std::size_t>(item->data(0, kEntryRole).toULongLong()));
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

// A dialog that closed follows the mounts no more, whenever it goes.
void FolderChooserDialog::done(int result) {
    stopWatchingMounts();
    QDialog::done(result);
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
                                      : model_.choice().has_value());
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

void FolderChooserDialog::fill(QTreeWidgetItem& item, const FolderChooserModel::Row& row, std::size_t entry) const {
    item.setText(0, qText(row.name));
    item.setText(1, qText(FolderChooserModel::typeText(row)));
    const bool folder = row.state != FolderChooserModel::PathState::notFolder;
    item.setIcon(0, folder ? folderIcon_ : fileIcon_);
    item.setData(0, kEntryRole, static_cast<qulonglong>(entry));
    const QBrush color = row.state == FolderChooserModel::PathState::notAnswering ? QBrush(SorvinColor::secondaryText())
                                                                                    : QBrush();
    for (int column = 0; column < 2; ++column) item.setForeground(column, color);
}

// A new listing fills the list at once; an entry that answers changes its own row alone, so that a
// folder of thousands of links answering one by one costs no more than one listing.
void FolderChooserDialog::showRows() {
    const QSignalBlocker blocker(list_);
    const FolderChooserModel::RowChanges changes = model_.takeRowChanges();
    if (changes.all) {
        list_->clear();
        items_.assign(model_.entryCount(), nullptr);
        QList<QTreeWidgetItem*> items;
        for (std::size_t entry = 0; entry < items_.size(); ++entry) {
            if (const auto row = model_.entryRow(entry)) {
                items_[entry] = new QTreeWidgetItem();
                fill(*items_[entry], *row, entry);
                items.append(items_[entry]);
            }
        }
        list_->addTopLevelItems(items);
    }
    for (const std::size_t entry : changes.entries) showRow(entry);

    const std::optional<std::size_t> selected = model_.selectedEntry();
    QTreeWidgetItem* wanted = selected && *selected < items_.size() ? items_[*selected] : nullptr;
    const QList<QTreeWidgetItem*> shown = list_->selectedItems();
    if (wanted == (shown.isEmpty() ? nullptr : shown.first())) return;
    if (wanted) list_->setCurrentItem(wanted);
    else list_->clearSelection();
}

void FolderChooserDialog::showRow(std::size_t entry) {
    if (entry >= items_.size()) return;
    const std::optional<FolderChooserModel::Row> row = model_.entryRow(entry);
    QTreeWidgetItem*& item = items_[entry];
    if (!row) {
        delete item;
        item = nullptr;
        return;
    }
    if (!item) {
        int at = 0;
        for (std::size_t before = 0; before < entry; ++before)
            if (items_[before]) ++at;
        item = new QTreeWidgetItem();
        fill(*item, *row, entry);
        list_->insertTopLevelItem(at, item);
        return;
    }
    fill(*item, *row, entry);
}

} // namespace sorvin
