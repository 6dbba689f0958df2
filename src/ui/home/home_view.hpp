#pragma once

#include <QWidget>
#include <vector>

class QCheckBox;
class QPushButton;
class QVBoxLayout;

namespace sorvin {

class AppState;
class RecentFolderRow;

// The start screen: choose a folder, reopen a recent one, and the two scan options.
class HomeView : public QWidget {
public:
    explicit HomeView(AppState& state, QWidget* parent = nullptr);
    // Reads the recent folders and the options again.
    void refresh();

    QPushButton* chooseButton() const { return choose_; }
    QCheckBox* subfoldersBox() const { return subfolders_; }
    QCheckBox* lowMemoryBox() const { return lowMemory_; }
    const std::vector<RecentFolderRow*>& rows() const { return rows_; }
    bool showsRecentFolders() const;

private:
    AppState& state_;
    QPushButton* choose_;
    QWidget* recentBlock_;
    QVBoxLayout* recentRows_;
    QCheckBox* subfolders_;
    QCheckBox* lowMemory_;
    std::vector<RecentFolderRow*> rows_;
    std::vector<std::string> shownFolders_;
};

} // namespace sorvin
