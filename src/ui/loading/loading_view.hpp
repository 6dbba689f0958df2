#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace sorvin {

class AppState;

// The screen shown while a folder is scanned: title, progress bar, counter and cancel button.
class LoadingView : public QWidget {
public:
    explicit LoadingView(AppState& state, QWidget* parent = nullptr);
    // Reads the counters again.
    void refresh();

    const QProgressBar* progressBar() const { return bar_; }
    const QLabel* counter() const { return counter_; }
    // Why the screen waits before the folder opens; hidden when it does not.
    const QLabel* waitReason() const { return waitReason_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitWaitReason();

    AppState& state_;
    QProgressBar* bar_;
    QLabel* counter_;
    QLabel* waitReason_;
    QPushButton* cancel_;
};

} // namespace sorvin
