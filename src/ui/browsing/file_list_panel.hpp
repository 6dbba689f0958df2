#pragma once

#include "shell/file_list_row_model.hpp"
#include "shell/file_list_scroll_throttle.hpp"

#include <QAbstractListModel>
#include <QListView>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QPushButton;

namespace sorvin {

class AppState;
class MainQueue;
class PhotoLibrary;

// The rows of the visible list; each row's presentation is read from the library when drawn, so
// a cursor move costs no more than the rows on screen.
class FileListModel : public QAbstractListModel {
public:
    static constexpr int RowModelRole = Qt::UserRole + 1;

    explicit FileListModel(QObject* parent) : QAbstractListModel(parent) {}
    // Resets the list when its rows changed.
    void setLibrary(const PhotoLibrary* library);
    // Asks for a redraw of the rows from first to last (the ones in view) that look otherwise than
    // when they were last compared; rows out of view are drawn afresh when they come into it.
    void refreshRows(int first, int last);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    std::optional<FileListRowModel> row(int index) const;

private:
    struct Signature {
        const PhotoLibrary* library = nullptr;
        std::size_t count = 0;
        int sortRevision = 0;
        bool isFiltered = false;
        const void* rows = nullptr;
        bool operator==(const Signature&) const = default;
    };
    Signature signature_;
    std::map<int, FileListRowModel> compared_;
};

// Where the parts of a row lie in the row's rectangle, the same for drawing and for clicks; the
// list's rowGeometry gives the rectangle the row is drawn in.
struct FileListRowGeometry {
    QRectF row;
    QRectF heart;
    QRectF name;
    QString nameText;
    QRectF jpegBadge;
    QRectF rawBadge;
    std::vector<QRectF> adjustmentBadges;
    QRectF deleteButton;

    static FileListRowGeometry make(const FileListRowModel& row, const QRectF& rect, bool hovered);
};

// The list itself: draws the rows and turns clicks into the row's, badge's or delete button's action.
class FileListView : public QListView {
public:
    explicit FileListView(QWidget* parent);

    std::function<void(const FileListRowModel&)> rowClicked;
    std::function<void(const FileListRowModel&, PhotoSource)> badgeClicked;
    std::function<void(const FileListRowModel&)> deleteClicked;

    int hoveredRow() const { return hoveredRow_; }
    QPointF pointer() const { return pointer_; }
    // Where the parts of the row at this index lie, for its drawing, the pointer and clicks alike.
    // A row spans the list's visible width, which a scroll bar narrows.
    FileListRowGeometry rowGeometry(const FileListRowModel& row, const QModelIndex& index,
                                    bool hovered) const;

protected:
    // A row keeps its height whatever it shows, so a row whose look changed is redrawn alone; the
    // list view would lay every row out again and redraw the whole list.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    // The row under the pointer is the hovered one; the cursor says which parts are buttons.
    void hover(QPointF at);

    int hoveredRow_ = -1;
    QPointF pointer_;
    bool pointerInside_ = false;
};

// The left column of the browsing screen: the sort bar over the list of visible rows. Keeps the
// current row in view, pacing its scrolling while the cursor moves quickly.
class FileListPanel : public QWidget {
public:
    FileListPanel(AppState& state, MainQueue& mainQueue, std::function<void()> clearInputFocus,
                  QWidget* parent);

    void refresh();
    // Takes the state's library into the list's model at once, so that the model never holds one
    // the state has let go of (a folder opened anew) until the next refresh.
    void followLibrary();

    FileListView* list() const { return list_; }
    FileListModel* model() const { return model_; }
    QPushButton* sortKeyButton() const { return sortKey_; }
    QPushButton* sortDirectionButton() const { return sortDirection_; }
    // Whether the row with this identifier is on screen.
    bool isRowVisible(const std::string& id) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool scrollIfNeeded();
    bool scrollToCurrent();
    std::optional<int> currentRowIndex() const;

    AppState& state_;
    MainQueue& mainQueue_;
    std::function<void()> clearInputFocus_;
    FileListScrollThrottle throttle_;
    QPushButton* sortKey_;
    QPushButton* sortDirection_;
    FileListView* list_;
    FileListModel* model_;
    std::optional<std::string> shownRowID_;
    int shownSortRevision_ = -1;
    const PhotoLibrary* shownLibrary_ = nullptr;
    // Keeps deferred work from outliving the panel.
    std::shared_ptr<FileListPanel*> self_ = std::make_shared<FileListPanel*>(this);
};

} // namespace sorvin
