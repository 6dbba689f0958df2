#pragma once

#include "app/record_saving.hpp"
#include "platform/updater.hpp"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class QWidget;

namespace sorvin {

class AppState;
struct QuitConfirmation;

// The application's own decisions around its life: the update state the menu mirrors, the quit
// confirmation, and the last word (saving) before the process ends.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(std::unique_ptr<Updater> updater, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Set when the main window's content first shows; termination reaches it from then on.
    void setState(AppState* state) { state_ = state; }

    bool canCheckForUpdates() const { return canCheckForUpdates_; }
    void checkForUpdates();

    // Asks before quitting while a window is visible; answers whether to quit.
    std::function<bool(QWidget* parent, const QuitConfirmation& confirmation)> confirmQuit;
    // A quit request from the menu or Ctrl+Q: saves, confirms, then quits the event loop.
    void requestQuit(QWidget* parent);
    // The main window's close button, which quits: saves, and only when the record is not on
    // disk asks as quitting does. Answers whether the window may close.
    bool confirmClose(QWidget* window);
    // A signal to end the program (see QuitSignals): saves and waits as quitting does, then quits
    // without asking, since nobody may be there to answer. A quit or close that is waiting for
    // the record already does the same once its wait ends; an alert that asks is answered.
    void quitWithoutAsking();

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    void willTerminate();
    // Saves what is left and waits until it is written or AppState::kFinishSavingWait has
    // passed. The event loop turns meanwhile, so the window is still drawn; the user's input
    // waits until then.
    RecordSaving finishSaving();
    // Asks as confirmQuit does, for a quit or for the window's close. While a save is still being
    // written, the program's alert follows it: once it ends, the alert says where the record stands
    // then, or, for a close whose record is then written, goes and lets the window close.
    bool ask(QWidget* parent, RecordSaving saving, bool closing);
    // The program's own quit alert.
    bool askToQuit(QWidget* parent, const QuitConfirmation& confirmation);
    // The file the open folder's record went to beside it, when it did.
    std::string keptBesideName() const;
    // Ends the event loop: the sheets, dialogs and other windows go at once, and Qt closes the
    // main window on the way out, which does not ask again.
    void quit();

    std::unique_ptr<Updater> updater_;
    std::shared_ptr<void> updaterConnection_;
    bool canCheckForUpdates_ = false;
    // While a quit the user confirmed closes the windows: they close without asking again.
    bool quitConfirmed_ = false;
    // While a quit or a close waits for the record: another one is not started.
    bool finishingSaves_ = false;
    // A signal asked the program to end: nothing asks any more.
    bool quitWithoutAsking_ = false;
    AppState* state_ = nullptr;
    // The program's quit alert while it asks, and which of the asks it is.
    QPointer<QWidget> alert_;
    int askings_ = 0;
};

} // namespace sorvin
