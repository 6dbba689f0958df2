#include "ui/platform/qt_folder_opener.hpp"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace sorvin {

QtFolderOpener::~QtFolderOpener() {
    for (QProcess* launcher : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        launcher->disconnect(this);
        if (launcher->state() != QProcess::NotRunning) {
            launcher->kill();
            launcher->waitForFinished();
        }
    }
}

void QtFolderOpener::open(const std::filesystem::path& folder, std::function<void(bool shown)> done) {
    QStringList command;
    if (const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open")); !xdgOpen.isEmpty())
        command = {xdgOpen};
    else if (const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio")); !gio.isEmpty())
        command = {gio, QStringLiteral("open")};
    if (command.isEmpty()) {
        done(false);
        return;
    }
    auto* launcher = new QProcess(this);
    launcher->setStandardInputFile(QProcess::nullDevice());
    launcher->setStandardOutputFile(QProcess::nullDevice());
    launcher->setStandardErrorFile(QProcess::nullDevice());
    connect(launcher, &QProcess::errorOccurred, this, [launcher, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return; // the end is told by finished
        done(false);
        launcher->deleteLater();
    });
    connect(launcher, &QProcess::finished, this, [launcher, done](int code, QProcess::ExitStatus status) {
        done(status == QProcess::NormalExit && code == 0);
        launcher->deleteLater();
    });
    const QString program = command.takeFirst();
    launcher->start(program, command << QFile::decodeName(folder.c_str()));
}

} // namespace sorvin
