#include "ui/app/quit_signals.hpp"

#include <QSocketNotifier>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace sorvin {

namespace {

constexpr std::array kQuitSignals{SIGTERM, SIGHUP, SIGINT};

// Shared with the handler, which may run on any thread.
int pipeEnds[2] = {-1, -1};
std::atomic<int> signalsReceived{0};
static_assert(std::atomic<int>::is_always_lock_free);

std::array<struct sigaction, kQuitSignals.size()> previousActions{};
std::array<bool, kQuitSignals.size()> installed{};

extern "C" void quitSignalArrived(int number) {
    const int savedErrno = errno;
    if (signalsReceived.fetch_add(1) == 0) {
        const char byte = 1;
        (void)!::write(pipeEnds[1], &byte, 1);
    } else {
        // The program's own end once more: the signal is blocked until this returns, and then
        // ends the process.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        ::sigaction(number, &fallback, nullptr);
        ::raise(number);
    }
    errno = savedErrno;
}

} // namespace

QuitSignals::QuitSignals(std::function<void()> quit, QObject* parent)
    : QObject(parent), quit_(std::move(quit)) {
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    signalsReceived = 0;
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        }
        // Only the first signal comes this way.
        notifier_->setEnabled(false);
        quit_();
    });
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i) {
        struct sigaction action {};
        action.sa_handler = quitSignalArrived;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(kQuitSignals[i], nullptr, &previousActions[i]) != 0 ||
            previousActions[i].sa_handler == SIG_IGN)
            continue;
        installed[i] = ::sigaction(kQuitSignals[i], &action, nullptr) == 0;
    }
}

QuitSignals::~QuitSignals() {
    for (std::size_t i = 0; i < kQuitSignals.size(); ++i)
        if (std::exchange(installed[i], false)) ::sigaction(kQuitSignals[i], &previousActions[i], nullptr);
    delete notifier_;
    for (int& end : pipeEnds)
        if (end >= 0) ::close(std::exchange(end, -1));
}

} // namespace sorvin
