#include "platform/thread_priority.hpp"

#include <algorithm>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace sorvin {

void runBelowMainThread() {
    // A little below the main thread's priority, whatever the program was started with.
    constexpr int stepsBelow = 2;
    const int mainThread = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    const sched_param parameters{};
    ::sched_setscheduler(0, SCHED_BATCH, &parameters);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), std::min(19, mainThread + stepsBelow));
}

} // namespace sorvin
