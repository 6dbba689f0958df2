#include "ui/platform/feed_updater.hpp"
#include "ui/platform/qt_main_queue.hpp"
#include "ui/platform/qt_pasteboard.hpp"
#include "ui/platform/qt_translations.hpp"
#include "ui_test_fixture.hpp"

#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMimeData>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QTranslator>
#include <atomic>

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
