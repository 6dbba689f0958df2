#include "ui/platform/feed_updater.hpp"
#include "platform/stall_tolerant_executor.hpp"
#include "ui/platform/folder_chooser_dialog.hpp"
#include "ui/platform/qt_folder_opener.hpp"
#include "ui/platform/qt_folder_panel.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_pasteboard.hpp"
#include "ui/platform/qt_translations.hpp"
#include "ui_test_fixture.hpp"

#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTreeView>
#include <QMimeData>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace sorvin::test {
namespace {

// Runs the event loop until the condition holds; a deadline makes a fault fail instead of hang.
template <class Condition>
bool processUntil(Condition condition) {
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer wake; // so that waiting for events also notices the deadline
    wake.start(20);
    while (!condition() && elapsed.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return condition();
}

TEST(QtMainQueue, PostsFromAnyThreadRunInOrderOnTheMainThreadAndCancelledTimersNever) {
    application();
    QtMainQueue queue;
    std::vector<int> order;
    std::atomic<bool> wrongThread = false;
    QThread* main = QThread::currentThread();
    queue.post([&] { order.push_back(1); });
    std::thread worker([&] {
        queue.post([&] {
            wrongThread = wrongThread || QThread::currentThread() != main;
            order.push_back(2);
        });
    });
    worker.join();
    MainQueue::Timer cancelled = queue.postAfter(0, [&] { order.push_back(99); });
    cancelled.cancel();
    queue.postAfter(0, [&] { order.push_back(3); });
    ASSERT_TRUE(processUntil([&] { return order.size() >= 3; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(wrongThread);
}

TEST(QtPasteboard, TextAndImagesShareOneClipboardEntry) {
    application();
    QtPasteboard pasteboard;
    PasteboardItem item;
    item.setData(PasteboardType::plainText, {'E', 'X', 'I', 'F'});
    item.setData(PasteboardType::png, {0x89, 'P', 'N', 'G'});
    ASSERT_TRUE(pasteboard.writeItems({item}));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->text(), QStringLiteral("EXIF"));
    EXPECT_EQ(data->data("image/png").size(), 4);
    EXPECT_FALSE(pasteboard.writeItems({}));
}

// Serves one fixed HTTP answer on 127.0.0.1.
class FeedServer {
public:
    explicit FeedServer(QByteArray body) : body_(std::move(body)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->readAll();
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                              QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_);
                socket->disconnectFromHost();
            });
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/feed.json").arg(server_.serverPort()));
    }

private:
    QByteArray body_;
    QTcpServer server_;
};

TEST(FeedUpdater, TellsOfANewerVersionFromTheFeed) {
    application();
    FeedServer server(R"({"version": "999.0", "url": "https://example.org/sorvin"})");
    FeedUpdater updater(server.url());
    std::vector<bool> canCheck;
    auto connection = updater.canCheckChanged.connect([&](bool value) { canCheck.push_back(value); });
    QString told;
    updater.tell = [&](const QString& message) { told = message; };
    ASSERT_TRUE(updater.canCheckForUpdates());
    updater.checkForUpdates();
    EXPECT_FALSE(updater.canCheckForUpdates()); // one check at a time
    ASSERT_TRUE(processUntil([&] { return !told.isEmpty(); }));
    EXPECT_TRUE(told.contains(QStringLiteral("999.0")));
    EXPECT_TRUE(told.contains(QStringLiteral("https://example.org/sorvin")));
    EXPECT_EQ(canCheck, (std::vector<bool>{false, true}));
}

TEST(FeedUpdater, ABrokenFeedIsReportedAndNoFeedNeverChecks) {
    application();
    FeedServer server("<html>not a feed</html>");
    FeedUpdater updater(server.url());
    QString told;
    updater.tell = [&](const QString& message) { told = message; };
    updater.checkForUpdates();
    ASSERT_TRUE(processUntil([&] { return !told.isEmpty(); }));
    EXPECT_EQ(told, QStringLiteral("アップデートを確認できませんでした。"));
    EXPECT_FALSE(FeedUpdater(QUrl()).canCheckForUpdates());
}

// The desktop's opener is given the folder and its exit status says whether it showed it; what it
// prints goes nowhere, not to the program's own output. With no opener the answer is no at once.
TEST(QtFolderOpener, TheOpenersExitStatusAnswersAndWhatItPrintsIsDiscarded) {
    application();
    TemporaryFolder root;
    const std::filesystem::path folder = root / "書き出し 先";
    std::filesystem::create_directories(folder);
    std::filesystem::create_directories(root / "bin");
    std::filesystem::create_directories(root / "empty");
    {
        std::ofstream script(root / "bin" / "xdg-open");
        script << "#!/bin/sh\n"
               << "printf '%s' \"$1\" > '" << (root / "asked").string() << "'\n"
               << "echo \"xdg-open: no method available for opening '$1'\" >&2\n"
               << "echo opened\n"
               << "read status < '" << (root / "status").string() << "'\n"
               << "exit \"$status\"\n";
    }
    std::filesystem::permissions(root / "bin" / "xdg-open", std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");

    QtFolderOpener opener;
    std::vector<bool> answers;
    const auto ask = [&](QtFolderOpener& asked, const std::filesystem::path& bin) {
        qputenv("PATH", QByteArray::fromStdString(bin.string()));
        asked.open(folder, [&](bool shown) { answers.push_back(shown); });
        qputenv("PATH", path);
    };
    // Our own standard error goes to a file while the opener runs.
    std::fflush(stderr);
    const int savedError = ::dup(2);
    const int errorFile = ::open((root / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(errorFile, 2);
    for (const char* status : {"3", "0"}) {
        std::ofstream(root / "status") << status << "\n";
        const std::size_t before = answers.size();
        ask(opener, root / "bin");
        processUntil([&] { return answers.size() > before; });
    }
    std::fflush(stderr);
    ::dup2(savedError, 2);
    ::close(savedError);
    ::close(errorFile);
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
    std::ifstream asked(root / "asked");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(asked), {}), folder.string());
    EXPECT_EQ(std::filesystem::file_size(root / "stderr"), 0u);

    ask(opener, root / "empty");
    EXPECT_EQ(answers, (std::vector<bool>{false, true, false}));

    // An opener still running when the program ends is stopped quietly and answers nothing.
    {
        std::ofstream script(root / "bin" / "xdg-open");
        script << "#!/bin/sh\nexec /bin/sleep 60\n";
    }
    auto leaving = std::make_unique<QtFolderOpener>();
    ask(*leaving, root / "bin");
    leaving.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(answers.size(), 3u);
}

// The folder chooser lists the folders of the start folder and no file, says 「フォルダ」 of each,
// gives nothing on キャンセル and the folder selected on 選択.
TEST(QtFolderPanel, ListsFoldersOnlyAndGivesTheOneChosen) {
    application();
    TemporaryFolder folder;
    std::filesystem::create_directories(folder.path() / "trip");
    std::filesystem::create_directories(folder.path() / "2024");
    std::ofstream(folder.path() / "sorvin.json.tmp-1-host", std::ios::binary) << "\x89PNG\r\n\x1a\n";
    QtMainQueue queue;
    StallTolerantExecutor threads;
    QtFolderPanel panel(queue, threads);
    const auto answer = [&](bool choose) {
        QStringList listed, types;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<FolderChooserDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            QTreeView* list = dialog->folderList();
            const QAbstractItemModel& rows = *list->model();
            processUntil([&] { return rows.rowCount() == 2; });
            for (int row = 0; row < rows.rowCount(); ++row) {
                listed << rows.index(row, 0).data().toString();
                types << rows.index(row, 1).data().toString();
            }
            if (choose && rows.rowCount() > 0) {
                list->setCurrentIndex(rows.index(1, 0));
                processUntil([&] { return dialog->chooseButton()->isEnabled(); });
                dialog->chooseButton()->click();
            }
            if (dialog->isVisible()) dialog->cancelButton()->click();
        });
        const auto chosen = panel.chooseFolder(folder.path());
        EXPECT_EQ(listed, (QStringList{QStringLiteral("2024"), QStringLiteral("trip")}));
        EXPECT_EQ(types, (QStringList{QStringLiteral("フォルダ"), QStringLiteral("フォルダ")}));
        return chosen;
    };
    EXPECT_FALSE(answer(false));
    EXPECT_EQ(answer(true), folder.path() / "trip");
}

// Qt's own dialogs speak Japanese like the rest of the program, whatever the system's language.
TEST(QtTranslations, QtsOwnButtonsAreJapanese) {
    QTranslator* translator = QtTranslations::install(application());
    ASSERT_TRUE(translator) << "Qt's Japanese translations are not installed";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

} // namespace
} // namespace sorvin::test
