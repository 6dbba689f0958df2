#include "ui/platform/folder_chooser_dialog.hpp"

#include "ui/platform/sorvin_look.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
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

} // namespace

FolderChooserDialog::FolderChooserDialog(QWidget* parent, FolderProbe& probe, const std::filesystem::path& home,
                                         const std::filesystem::path& start)
    : QDialog(parent), model_(probe, home, [this] { refresh_.request(); }), refresh_(this, [this] { refresh(); }),
      up_(new QToolButton(this)), field_(new QLineEdit(this)), places_(new QListWidget(this)),
      list_(new QTreeWidget(this)), status_(new QLabel(this)),
      cancel_(new QPushButton(QStringLiteral("キャンセル"), this)),
      choose_(new QPushButton(QStringLiteral("選択"), this)) {
    setWindowTitle(QStringLiteral("フォルダを選ぶ"));
    resize(760, 480);

    up_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up_->setToolTip(QStringLiteral("上のフォルダへ"));
    auto* fieldLabel = new QLabel(QStringLiteral("ディレクトリ:"), this);
    fieldLabel->setBuddy(field_);
    auto* top = new QHBoxLayout();
    top->addWidget(up_);
    top->addWidget(fieldLabel);
    top->addWidget(field_, 1);

    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    for (const FolderChooserModel::Place& place : model_.places()) {
        auto* item = new QListWidgetItem(folderIcon, qText(place.label), places_);
        item->setData(Qt::UserRole, qText(place.path.string()));
        item->setToolTip(qText(place.path.string()));
    }
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

    // Return belongs to the path field and the list, never to a button.
    for (QPushButton* button : {cancel_, choose_}) button->setAutoDefault(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(status_, 1);
    buttons->addWidget(cancel_);
    buttons->addWidget(choose_);

    auto* column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(middle, 1);
    column->addLayout(buttons);

    connect(up_, &QToolButton::clicked, this, [this] { model_.goUp(); });
    connect(field_, &QLineEdit::textEdited, this, [this](const QString& text) { model_.edit(text.toStdString()); });
    connect(field_, &QLineEdit::returnPressed, this, [this] { model_.enter(); });
    connect(places_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        model_.openFolder(item->data(Qt::UserRole).toString().toStdString());
    });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> items = list_->selectedItems();
        model_.select(items.isEmpty() ? std::nullopt
                                      : std::optional<std::size_t>(list_->indexOfTopLevelItem(items.first())));
    });
    connect(list_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        model_.openRow(static_cast<std::size_t>(list_->indexOfTopLevelItem(item)));
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(choose_, &QPushButton::clicked, this, [this] {
        chosen_ = model_.choice();
        if (chosen_) accept();
    });

    model_.openFolder(start);
    refresh();
    field_->setFocus();
}

void FolderChooserDialog::refresh() {
    // The field is left alone while it holds what the user typed.
    if (field_->text() != qText(model_.fieldText())) field_->setText(qText(model_.fieldText()));
    showRows();
    status_->setText(qText(model_.status()));
    up_->setEnabled(model_.canGoUp());
    choose_->setEnabled(model_.choice().has_value());
}

void FolderChooserDialog::showRows() {
    const std::vector<FolderChooserModel::Row> rows = model_.rows();
    const QSignalBlocker blocker(list_);
    if (rows != rowsShown_) {
        // A row that changes in the folder shown keeps the list where the user scrolled it.
        const int scrolled = rowsFolder_ == model_.folder() ? list_->verticalScrollBar()->value() : 0;
        list_->clear();
        const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
        QList<QTreeWidgetItem*> items;
        for (const FolderChooserModel::Row& row : rows) {
            auto* item = new QTreeWidgetItem(QStringList{qText(row.name), qText(FolderChooserModel::typeText(row.state))});
            item->setIcon(0, folderIcon);
            if (row.state == FolderChooserModel::PathState::notAnswering) {
                item->setForeground(0, SorvinColor::secondaryText());
                item->setForeground(1, SorvinColor::secondaryText());
            }
            items.append(item);
        }
        list_->addTopLevelItems(items);
        list_->verticalScrollBar()->setValue(scrolled);
        rowsShown_ = rows;
        rowsFolder_ = model_.folder();
    }
    const std::optional<std::size_t> selected = model_.selectedRow();
    if (!selected) {
        list_->clearSelection();
        return;
    }
    if (QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(*selected)); item && !item->isSelected()) {
        list_->setCurrentItem(item);
    }
}

} // namespace sorvin
