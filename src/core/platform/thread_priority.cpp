#include "platform/thread_priority.hpp"

#include <sched.h>

namespace sorvin {

void runBelowMainThread() {
    const sched_param parameters{};
    ::sched_setscheduler(0, SCHED_BATCH, &parameters);
}

} // namespace sorvin
