#include "ui/app/app_delegate.hpp"

#include "app/app_state.hpp"
#include "platform/updater.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

namespace sorvin {

namespace {

bool askToQuit(QWidget* parent) {
    QMessageBox alert(parent);
    alert.setIcon(QMessageBox::Information);
    alert.setText(QStringLiteral("Sorvinを終了しますか？"));
    alert.setInformativeText(QStringLiteral("ハートや現像設定は保存済みです。"));
    QPushButton* quit = alert.addButton(QStringLiteral("終了"), QMessageBox::AcceptRole);
    QPushButton* cancel = alert.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
    alert.setDefaultButton(quit);
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
    if (anyVisible && confirmQuit && !confirmQuit(parent)) return;
    QCoreApplication::quit();
}

void AppDelegate::willTerminate() {
    if (state_) state_->prepareForTermination();
}

} // namespace sorvin
