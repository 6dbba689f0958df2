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

// The quit alert: says what a confirmation says, and says anew what a later one says.
class QuitAlert final : public QMessageBox {
public:
    explicit QuitAlert(QWidget* parent)
        : QMessageBox(parent), quit_(addButton(QString(), AcceptRole)), cancel_(addButton(QString(), RejectRole)) {
        setEscapeButton(cancel_);
    }

    void say(const QuitConfirmation& confirmation) {
        setIcon(confirmation.cancelIsDefault ? QMessageBox::Warning : QMessageBox::Information);
        setText(QString::fromStdString(confirmation.message));
        setInformativeText(QString::fromStdString(confirmation.informativeText));
        quit_->setText(QString::fromStdString(confirmation.quitButton));
        cancel_->setText(QString::fromStdString(confirmation.cancelButton));
        setDefaultButton(confirmation.cancelIsDefault ? cancel_ : quit_);
    }
    bool quitChosen() const { return clickedButton() == quit_; }
    void chooseQuit() { quit_->click(); }

private:
    QPushButton* quit_;
    QPushButton* cancel_;
};

} // namespace

AppDelegate::AppDelegate(std::unique_ptr<Updater> updater, QObject* parent)
    : QObject(parent), confirmQuit([this](QWidget* window, const QuitConfirmation& confirmation) {
          return askToQuit(window, confirmation);
      }),
      updater_(std::move(updater)) {
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
        if (!quitWithoutAsking_ && !ask(parent, saving, false)) return;
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
    return !confirmQuit || ask(window, saving, true);
}

bool AppDelegate::ask(QWidget* parent, RecordSaving saving, bool closing) {
    const int asking = ++askings_;
    if (saving == RecordSaving::stillWriting && state_)
        state_->whenSavesEnd([self = QPointer<AppDelegate>(this), asking, closing](RecordSaving ended) {
            if (!self || self->askings_ != asking || !self->alert_) return;
            auto* alert = static_cast<QuitAlert*>(self->alert_.data());
            // Had the save ended in time, a close would not have asked.
            if (closing && ended == RecordSaving::written)
                alert->chooseQuit();
            else
                alert->say(QuitConfirmation::make(ended, self->keptBesideName()));
        });
    return confirmQuit(parent, QuitConfirmation::make(saving, keptBesideName()));
}

bool AppDelegate::askToQuit(QWidget* parent, const QuitConfirmation& confirmation) {
    QuitAlert alert(parent);
    alert.say(confirmation);
    alert_ = &alert;
    alert.exec();
    return alert.quitChosen();
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
