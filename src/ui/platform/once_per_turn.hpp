#pragma once

#include <QObject>
#include <functional>

namespace sorvin {

// Runs an action once on the next turn of the event loop however often it is asked for before
// then, so that the several changes of one event make one update. The owner's object is the
// context: a call still waiting when it goes is dropped.
class OncePerTurn {
public:
    OncePerTurn(QObject* context, std::function<void()> action)
        : context_(context), action_(std::move(action)) {}

    void request();

private:
    QObject* context_;
    std::function<void()> action_;
    bool pending_ = false;
};

} // namespace sorvin
