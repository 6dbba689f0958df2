#include "ui/app/sorvin_application.hpp"

#include "app/app_state.hpp"
#include "persistence/app_settings.hpp"
#include "persistence/legacy_data_migrator.hpp"
#include "platform/app_identity.hpp"
#include "platform/background_executor.hpp"
#include "platform/stall_tolerant_executor.hpp"
#include "platform/thread_per_task_executor.hpp"
#include "platform/defaults_store.hpp"
#include "platform/physical_memory.hpp"
#include "ui/app/app_delegate.hpp"
#include "ui/app/main_window.hpp"
#include "ui/app/quit_signals.hpp"
#include "ui/platform/feed_updater.hpp"
#include "ui/platform/qt_alert_presenter.hpp"
#include "ui/platform/qt_folder_opener.hpp"
#include "ui/platform/qt_folder_panel.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_pasteboard.hpp"
#include "ui/platform/qt_single_export_panel.hpp"
#include "ui/platform/qt_translations.hpp"
#include "ui/platform/sorvin_look.hpp"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace sorvin {

SorvinApplication::SorvinApplication(QApplication& application, FolderPanel* folderChooser,
                                     FileManager* recordFiles) {
    application.setApplicationName(QStringLiteral("Sorvin"));
    application.setApplicationVersion(QString::fromStdString(AppIdentity::version()));
    application.setDesktopFileName(QString::fromLatin1(AppIdentity::identifier));
    SorvinLook::apply(application);
    QtTranslations::install(application);

    // The predecessor's data are taken over once, before anything reads ours; a failed copy is
    // not fatal (the next start tries again).
    try {
        LegacyDataMigrator::copyApplicationSupportIfNeeded();
    } catch (const std::exception&) {
    }
    defaults_ = std::make_unique<DefaultsStore>(DefaultsStore::domainFile(AppSettings::domain));
    {
        const std::unique_ptr<DefaultsStore> legacy = LegacyDataMigrator::openLegacyDefaults();
        LegacyDataMigrator::migrateUserDefaultsIfNeeded(*defaults_, legacy.get());
    }
    settings_ = std::make_unique<AppSettings>(*defaults_, PhysicalMemory::bytes());

    mainQueue_ = std::make_unique<QtMainQueue>();
    executor_ = std::make_unique<ThreadPoolExecutor>();
    recordExecutor_ = std::make_unique<ThreadPerTaskExecutor>();
    pasteboard_ = std::make_unique<QtPasteboard>();
    folderProbeExecutor_ = std::make_unique<StallTolerantExecutor>();
    folderPanel_ = std::make_unique<QtFolderPanel>(*mainQueue_, *folderProbeExecutor_);
    alerts_ = std::make_unique<QtAlertPresenter>();
    folderOpener_ = std::make_unique<QtFolderOpener>();
    singleExportPanel_ = std::make_unique<QtSingleExportPanel>(*mainQueue_, *folderProbeExecutor_);
    AppStateEnvironment environment{*mainQueue_, *executor_, *pasteboard_};
    environment.folderPanel = folderChooser ? folderChooser : folderPanel_.get();
    environment.folderProbeExecutor = folderProbeExecutor_.get();
    environment.recordExecutor = recordExecutor_.get();
    environment.singleExportPanel = singleExportPanel_.get();
    environment.alerts = alerts_.get();
    environment.folderOpener = folderOpener_.get();
    environment.recordFiles = recordFiles;
    state_ = std::make_unique<AppState>(*settings_, std::move(environment));

    delegate_ = std::make_unique<AppDelegate>(FeedUpdater::fromBuild());
    window_ = std::make_unique<MainWindow>(*state_, *delegate_, *mainQueue_);
    folderPanel_->setParent(window_.get());
    alerts_->setParent(window_.get());
    singleExportPanel_->setParent(window_.get());
    quitSignals_ = std::make_unique<QuitSignals>([this] {
        if (delegate_) delegate_->quitWithoutAsking();
    });
}

int SorvinApplication::run() {
    window_->show();
    const int code = QApplication::exec();
    // Photos still being read from a disk that stopped answering are not worth a process that
    // never ends.
    if (!finish(kStuckWorkWait)) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

SorvinApplication::~SorvinApplication() {
    finish();
}

bool SorvinApplication::finish(std::optional<double> seconds) {
    // Off the screen at once: the background work cancelled at quitting may still be ending, and
    // nobody waits for that with the window in view.
    if (window_) window_->hide();
    // The window and the delegate observe the state; they go first.
    window_.reset();
    delegate_.reset();
    state_.reset();
    recordExecutor_.reset();
    defaults_->waitUntilWritten();
    return !seconds || executor_->waitUntilIdle(*seconds);
}

} // namespace sorvin
