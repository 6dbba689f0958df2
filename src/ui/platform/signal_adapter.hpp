#pragma once

#include "platform/signal.hpp"

#include <QObject>
#include <memory>

namespace sorvin {

// Turns an emission of a core signal into the Qt signal `fired`, so widgets connect to the core's
// observable objects the Qt way. Disconnects when destroyed; the core object may die first.
class SignalAdapter : public QObject {
    Q_OBJECT
public:
    template <class... Args>
    SignalAdapter(Signal<Args...>& signal, QObject* parent) : QObject(parent) {
        auto connection = std::make_shared<typename Signal<Args...>::Connection>(
            signal.connect([this](const Args&...) { Q_EMIT fired(); }));
        connection_ = std::move(connection);
    }

Q_SIGNALS:
    void fired();

private:
    std::shared_ptr<void> connection_;
};

} // namespace sorvin
