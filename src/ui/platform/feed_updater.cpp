#include "ui/platform/feed_updater.hpp"

#include "platform/app_identity.hpp"
#include "shell/update_feed.hpp"

#include <QApplication>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace sorvin {

namespace {
// A feed is a few bytes; anything larger is not one.
constexpr qint64 maximumFeedSize = 64 * 1024;
constexpr int timeoutMilliseconds = 15000;

void showMessage(const QString& message) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("Sorvin"));
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}
} // namespace

FeedUpdater::FeedUpdater(QUrl feed, QObject* parent)
    : QObject(parent), tell(showMessage), feed_(std::move(feed)), network_(new QNetworkAccessManager(this)) {}

FeedUpdater::~FeedUpdater() = default;

std::unique_ptr<Updater> FeedUpdater::fromBuild() {
    return std::make_unique<FeedUpdater>(QUrl(QStringLiteral(SORVIN_UPDATE_FEED_URL)));
}

bool FeedUpdater::canCheckForUpdates() const {
    return feed_.isValid() && !feed_.isEmpty() && !checking_;
}

void FeedUpdater::setChecking(bool checking) {
    const bool before = canCheckForUpdates();
    checking_ = checking;
    if (before != canCheckForUpdates()) canCheckChanged.emit(canCheckForUpdates());
}

void FeedUpdater::checkForUpdates() {
    if (!canCheckForUpdates()) return;
    setChecking(true);
    QNetworkRequest request(feed_);
    request.setTransferTimeout(timeoutMilliseconds);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > maximumFeedSize) reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        setChecking(false);
        const QByteArray body =
            reply->error() == QNetworkReply::NoError ? reply->read(maximumFeedSize) : QByteArray();
        const auto feed =
            UpdateFeed::parse(std::string_view(body.constData(), static_cast<std::size_t>(body.size())));
        if (!feed) {
            tell(QStringLiteral("アップデートを確認できませんでした。"));
        } else if (UpdateFeed::isNewer(feed->version, AppIdentity::version())) {
            QString message =
                QStringLiteral("新しいバージョン %1 があります。").arg(QString::fromStdString(feed->version));
            if (!feed->url.empty()) message += QStringLiteral("\n") + QString::fromStdString(feed->url);
            tell(message);
        } else {
            tell(QStringLiteral("Sorvin %1 は最新のバージョンです。")
                     .arg(QString::fromStdString(AppIdentity::version())));
        }
    });
}

} // namespace sorvin
