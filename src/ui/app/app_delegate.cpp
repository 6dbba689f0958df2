#include "ui/app/app_delegate.hpp"

#include "app/app_state.hpp"
#include "platform/updater.hpp"
#include "shell/quit_confirmation.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace sorvin {

namespace {

bool askToQuit(QWidget* parent, const QuitConfirmation& confirmation) {
    QMessageBox alert(parent);
    alert.setIcon(confirmation.cancelIsDefault ? QMessageBox::Warning : QMessageBox::Information);
    alert.setText(QString::fromStdString(confirmation.message));
    alert.setInformativeText(QString::fromStdString(confirmation.informativeText));
    QPushButton* quit = alert.addButton(QString::fromStdString(confirmation.quitButton), QMessageBox::AcceptRole);
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

void AppDelegate::requestQuit(QWidget* parent) {
    bool anyVisible = false;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && window->isWindow()) anyVisible = true;
    if (anyVisible && confirmQuit) {
        // Everything pending is written first, so the alert can say whether it was.
        const bool saved = !state_ || state_->finishSaving();
        if (!confirmQuit(parent, QuitConfirmation::make(saved))) return;
    }
    // Qt closes the windows on the way out; the user has answered already.
    quitConfirmed_ = true;
    QCoreApplication::quit();
    quitConfirmed_ = false;
}

bool AppDelegate::confirmClose(QWidget* window) {
    if (quitConfirmed_ || !state_ || state_->finishSaving()) return true;
    // The last changes are not on disk: closing would lose them without a word.
    return !confirmQuit || confirmQuit(window, QuitConfirmation::make(false));
}

void AppDelegate::willTerminate() {
    if (state_) state_->prepareForTermination();
}

} // namespace sorvin
