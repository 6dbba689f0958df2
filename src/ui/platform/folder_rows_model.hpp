#pragma once

#include "shell/folder_chooser_model.hpp"

#include <QAbstractTableModel>
#include <QIcon>
#include <cstddef>
#include <optional>
#include <vector>

namespace sorvin {

// The rows of a folder chooser's list, read from its model as they are painted: a folder of tens
// of thousands of entries costs a number per row shown, not an item. The rows of entries that
// answered come in one step for all that answered since the last, a run of neighbours at a time.
class FolderRowsModel final : public QAbstractTableModel {
public:
    FolderRowsModel(const FolderChooserModel& chooser, QIcon folderIcon, QIcon fileIcon, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes the chooser's row changes: a new list, or the rows of the entries that changed.
    void update(const FolderChooserModel::RowChanges& changes);
    std::optional<std::size_t> entryAt(int row) const;
    std::optional<int> rowOf(std::size_t entry) const;

private:
    void insertShown(const std::vector<std::size_t>& entries);
    void removeHidden(const std::vector<std::size_t>& entries);

    const FolderChooserModel& chooser_;
    QIcon folderIcon_;
    QIcon fileIcon_;
    std::vector<std::size_t> entries_; // the entry of each row, in ascending order
};

} // namespace sorvin
