#include "platform/thread_priority.hpp"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace sorvin {

void runBelowMainThread() {
    constexpr int niceness = 10;
    const sched_param parameters{};
    ::sched_setscheduler(0, SCHED_BATCH, &parameters);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), niceness);
}

} // namespace sorvin
