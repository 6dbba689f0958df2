#include "platform/thread_priority.hpp"

#include <algorithm>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace sorvin {

void runBelowMainThread() {
    // A little below the main thread's priority, whatever the program was started with; read once,
    // since workers come here every time they join an arena.
    static const int niceness = std::min(19, ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid())) + 2);
    const sched_param parameters{};
    ::sched_setscheduler(0, SCHED_BATCH, &parameters);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), niceness);
}

} // namespace sorvin
