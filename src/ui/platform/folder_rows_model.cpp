#include "ui/platform/folder_rows_model.hpp"

#include "ui/platform/sorvin_look.hpp"

#include <QBrush>
#include <algorithm>
#include <utility>

namespace sorvin {

namespace {

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

FolderRowsModel::FolderRowsModel(const FolderChooserModel& chooser, QIcon folderIcon, QIcon fileIcon,
                                 QObject* parent)
    : QAbstractTableModel(parent), chooser_(chooser), folderIcon_(std::move(folderIcon)),
      fileIcon_(std::move(fileIcon)) {}

int FolderRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int FolderRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant FolderRowsModel::data(const QModelIndex& index, int role) const {
    const auto entry = entryAt(index.row());
    if (!entry) return {};
    const auto row = chooser_.entryRow(*entry);
    if (!row) return {};
    switch (role) {
    case Qt::DisplayRole:
        return qText(index.column() == 0 ? row->name : FolderChooserModel::typeText(*row));
    case Qt::DecorationRole:
        if (index.column() != 0) return {};
        return row->state == FolderChooserModel::PathState::notFolder ? fileIcon_ : folderIcon_;
    case Qt::ForegroundRole:
        if (row->state != FolderChooserModel::PathState::notAnswering) return {};
        return QBrush(SorvinColor::secondaryText());
    default:
        return {};
    }
}

QVariant FolderRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("名前") : QStringLiteral("種類");
}

std::optional<std::size_t> FolderRowsModel::entryAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) return std::nullopt;
    return entries_[static_cast<std::size_t>(row)];
}

std::optional<int> FolderRowsModel::rowOf(std::size_t entry) const {
    const auto at = std::lower_bound(entries_.begin(), entries_.end(), entry);
    if (at == entries_.end() || *at != entry) return std::nullopt;
    return static_cast<int>(at - entries_.begin());
}

void FolderRowsModel::update(const FolderChooserModel::RowChanges& changes) {
    if (changes.all) {
        beginResetModel();
        entries_.clear();
        for (std::size_t entry = 0; entry < chooser_.entryCount(); ++entry)
            if (chooser_.entryRow(entry)) entries_.push_back(entry);
        endResetModel();
        return;
    }
    std::vector<std::size_t> appearing, going;
    for (const std::size_t entry : changes.entries) {
        const bool shown = chooser_.entryRow(entry).has_value();
        if (shown != rowOf(entry).has_value()) (shown ? appearing : going).push_back(entry);
    }
    removeHidden(going);
    insertShown(appearing);
    // The rest changed what they say.
    int first = rowCount(), last = -1;
    for (const std::size_t entry : changes.entries) {
        if (const auto row = rowOf(entry)) {
            first = std::min(first, *row);
            last = std::max(last, *row);
        }
    }
    if (last >= 0) Q_EMIT dataChanged(index(first, 0), index(last, columnCount() - 1));
}

// Neighbours that appear between the same two rows come in together.
void FolderRowsModel::insertShown(const std::vector<std::size_t>& entries) {
    for (std::size_t from = 0; from < entries.size();) {
        const auto at = std::lower_bound(entries_.begin(), entries_.end(), entries[from]);
        std::size_t to = from + 1;
        while (to < entries.size() && (at == entries_.end() || entries[to] < *at)) ++to;
        const int row = static_cast<int>(at - entries_.begin());
        beginInsertRows({}, row, row + static_cast<int>(to - from) - 1);
        entries_.insert(at, entries.begin() + static_cast<std::ptrdiff_t>(from),
                        entries.begin() + static_cast<std::ptrdiff_t>(to));
        endInsertRows();
        from = to;
    }
}

// Neighbouring rows that go, go together, the last first so that the rows before keep their place.
void FolderRowsModel::removeHidden(const std::vector<std::size_t>& entries) {
    for (std::size_t to = entries.size(); to > 0;) {
        const int last = *rowOf(entries[to - 1]);
        std::size_t from = to - 1;
        while (from > 0 && rowOf(entries[from - 1]) == last - static_cast<int>(to - from)) --from;
        const int first = last - static_cast<int>(to - from) + 1;
        beginRemoveRows({}, first, last);
        entries_.erase(entries_.begin() + first, entries_.begin() + last + 1);
        endRemoveRows();
        to = from;
    }
}

} // namespace sorvin
