#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace sorvin {

// SIGTERM, SIGHUP and SIGINT (a shutdown, a logout, `kill`, Ctrl+C in a terminal) end the program
// the way its quit command does: the handler only writes a byte into a pipe, and the main thread,
// reading it, runs `quit`. A second one ends the process at once, whatever it is doing then. A
// signal ignored when the program started (under nohup) stays ignored. One at a time per process;
// the signals' earlier handling comes back when it goes.
class QuitSignals : public QObject {
public:
    explicit QuitSignals(std::function<void()> quit, QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

private:
    std::function<void()> quit_;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace sorvin
