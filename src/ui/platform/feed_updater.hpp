#pragma once

#include "platform/updater.hpp"

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace sorvin {

// Reads the version feed fixed at build time and tells the user whether a newer version exists.
// Without a feed it can never check. One check at a time; the answer is shown by `tell`.
class FeedUpdater final : public QObject, public Updater {
public:
    explicit FeedUpdater(QUrl feed, QObject* parent = nullptr);
    ~FeedUpdater() override;

    // The feed the build names (none when it names none); starts checking at once.
    static std::unique_ptr<Updater> fromBuild();

    bool canCheckForUpdates() const override;
    void checkForUpdates() override;

    // Shows a result text; a dialog by default, replaceable for tests.
    std::function<void(const QString& message)> tell;

private:
    void setChecking(bool checking);

    QUrl feed_;
    QNetworkAccessManager* network_;
    bool checking_ = false;
};

} // namespace sorvin
