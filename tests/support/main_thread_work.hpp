#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace sorvin::test {

// The longest the main thread may hold the event loop: what a user notices, three times that where
// the sanitizers slow every step down. A wait on a stalled share lasts seconds.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr double kLongestWorkMilliseconds = 300;
#else
inline constexpr double kLongestWorkMilliseconds = 100;
#endif

// How long the main thread keeps the event loop from turning, by its own doing: a timer ticks
// every few milliseconds, and a gap between two ticks counts less the time the thread waited for a
// processor (the kernel's scheduler statistics), so that a loaded machine does not make it longer.
// A thread that works, or that waits on a disk, holds the loop all that time. Main thread only;
// it measures while it lives.
class MainThreadWork {
public:
    static constexpr int kTickMilliseconds = 5;

    MainThreadWork() : schedstat_("/proc/self/task/" + std::to_string(::syscall(SYS_gettid)) + "/schedstat") {
        clock_.start();
        lastWall_ = clock_.nsecsElapsed();
        lastWaited_ = waitedForProcessor();
        ticks_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticks_, &QTimer::timeout, [this] { tick(); });
        ticks_.start(kTickMilliseconds);
    }

    // The longest stretch so far, in milliseconds, the last one up to now included.
    double longestMilliseconds() {
        tick();
        return static_cast<double>(longest_) / 1e6;
    }

private:
    void tick() {
        const std::int64_t wall = clock_.nsecsElapsed();
        const std::int64_t waited = waitedForProcessor();
        const std::int64_t stretch = (wall - lastWall_) - (waited - lastWaited_) - kTickMilliseconds * 1'000'000LL;
        longest_ = std::max(longest_, stretch);
        lastWall_ = wall;
        lastWaited_ = waited;
    }
    // Nanoseconds the thread spent runnable on a run queue; 0 where the kernel keeps no statistics.
    std::int64_t waitedForProcessor() const {
        std::ifstream in(schedstat_);
        std::int64_t onProcessor = 0, waiting = 0;
        if (!(in >> onProcessor >> waiting)) return 0;
        return waiting;
    }

    std::string schedstat_;
    QElapsedTimer clock_;
    QTimer ticks_;
    std::int64_t lastWall_ = 0;
    std::int64_t lastWaited_ = 0;
    std::int64_t longest_ = 0;
};

} // namespace sorvin::test
