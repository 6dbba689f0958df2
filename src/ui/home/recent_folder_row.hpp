#pragma once

#include <QWidget>
#include <functional>

namespace sorvin {

// One recently opened folder on the home screen: its name and location on one line, a remove
// button at the end; a click anywhere else opens the folder.
class RecentFolderRow : public QWidget {
public:
    static constexpr int rowWidth = 420;
    static constexpr int rowHeight = 24;

    RecentFolderRow(const QString& path, const QString& homeFolder, std::function<void()> open,
                    std::function<void()> remove, QWidget* parent = nullptr);

    const QString& path() const { return path_; }
    const QString& name() const { return name_; }
    const QString& location() const { return location_; }
    bool isHovering() const { return hovering_; }
    QRect removeButtonRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString path_;
    QString name_;
    QString location_;
    std::function<void()> open_;
    std::function<void()> remove_;
    bool hovering_ = false;
};

} // namespace sorvin
