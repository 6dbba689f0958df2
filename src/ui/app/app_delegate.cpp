#include "ui/app/app_delegate.hpp"

#include "app/app_state.hpp"
#include "platform/updater.hpp"
#include "shell/quit_confirmation.hpp"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <optional>
#include <vector>

namespace sorvin {

namespace {

bool askToQuit(QWidget* parent, const QuitConfirmation& confirmation) {
    QMessageBox alert(parent);
    alert.setIcon(confirmation.cancelIsDefault ? QMessageBox::Warning : QMessageBox::Information);
    alert.setText(QString::fromStdString(confirmation.message));
    alert.setInformativeText(QString::fromStdString(confirmation.informativeText));
    QPushButton* quit =
        alert.addButton(QString::fromStdString(confirmation.quitButton), QMessageBox::AcceptRole);
    QPushButton* cancel =
        alert.addButton(QString::fromStdString(confirmation.cancelButton), QMessageBox::RejectRole);
    alert.setDefaultButton(confirmation.cancelIsDefault ? cancel : quit);
    alert.setEscapeButton(cancel);
    alert.exec();
    return alert.clickedButton() == quit;
}

} // namespace

AppDelegate::AppDelegate(std::unique_ptr<Updater> updater, QObject* parent)
    : QObject(parent), confirmQuit(askToQuit), updater_(std::move(updater)) {
    if (updater_) {
        canCheckForUpdates_ = updater_->canCheckForUpdates();
        using Connection = Signal<bool>::Connection;
        updaterConnection_ =
            std::make_shared<Connection>(updater_->canCheckChanged.connect([this](bool canCheck) {
                // The updater may report from any thread; the menu reads the value on the main thread.
                QMetaObject::invokeMethod(
                    this,
                    [this, canCheck] {
                        if (canCheck == canCheckForUpdates_) return;
                        canCheckForUpdates_ = canCheck;
                        Q_EMIT canCheckForUpdatesChanged(canCheck);
                    },
                    Qt::QueuedConnection);
            }));
    }
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { willTerminate(); });
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::checkForUpdates() {
    if (!updater_ || !canCheckForUpdates_) return;
    if (QWidget* window = QApplication::activeWindow()) window->activateWindow();
    updater_->checkForUpdates();
}

std::string AppDelegate::keptBesideName() const {
    if (!state_ || !state_->recordKeptBeside()) return {};
    return state_->recordKeptBeside()->filename().string();
}

RecordSaving AppDelegate::finishSaving() {
    if (!state_) return RecordSaving::written;
    std::optional<RecordSaving> saving;
    QEventLoop loop;
    finishingSaves_ = true;
    state_->finishSaving([&](RecordSaving outcome) {
        saving = outcome;
        loop.quit();
    });
    if (!saving) loop.exec(QEventLoop::ExcludeUserInputEvents);
    finishingSaves_ = false;
    // The loop also ends when the application is told to exit before the answer came.
    return saving.value_or(RecordSaving::stillWriting);
}

void AppDelegate::quit() {
    quitConfirmed_ = true;
    // The quit is decided, so every other window goes now, whatever a close would make it do: Qt's
    // own quit stops at the first window that refuses to close, and a sheet refuses while its
    // export runs (the export is cancelled as the program ends, keeping what it finished). A
    // dialog waiting in a loop of its own returns as if cancelled.
    std::vector<QPointer<QWidget>> others;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->parentWidget()) others.emplace_back(window);
    for (const QPointer<QWidget>& window : others)
        if (window && window->isVisible()) window->hide();
    QCoreApplication::quit();
    quitConfirmed_ = false;
}

void AppDelegate::requestQuit(QWidget* parent) {
    if (finishingSaves_) return;
    bool anyVisible = false;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isWindow()) anyVisible = true;
    if (anyVisible && confirmQuit) {
        // Everything pending is written first, so the alert can say whether it was.
        const RecordSaving saving = finishSaving();
        if (!quitWithoutAsking_ && !confirmQuit(parent, QuitConfirmation::make(saving, keptBesideName()))) return;
    }
    quit();
}

bool AppDelegate::confirmClose(QWidget* window) {
    if (quitConfirmed_ || !state_) return true;
    // A quit already waits for the record, and asks when it knows.
    if (finishingSaves_) return false;
    const RecordSaving saving = finishSaving();
    if (quitWithoutAsking_) {
        // The whole program ends, not only this window.
        QMetaObject::invokeMethod(
            this, [this] { quit(); }, Qt::QueuedConnection);
        return true;
    }
    if (saving == RecordSaving::written) return true;
    // The last changes are not on disk: closing would lose them, or wait for them, without a word.
    return !confirmQuit || confirmQuit(window, QuitConfirmation::make(saving, keptBesideName()));
}

void AppDelegate::quitWithoutAsking() {
    quitWithoutAsking_ = true;
    if (finishingSaves_) return;
    finishSaving();
    quit();
}

void AppDelegate::willTerminate() {
    if (state_) state_->prepareForTermination();
}

} // namespace sorvin
