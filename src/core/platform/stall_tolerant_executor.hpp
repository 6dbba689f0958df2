#pragma once

#include "platform/background_executor.hpp"

#include <cstddef>
#include <functional>
#include <memory>

namespace sorvin {

// Work that may never return (a question to a share or a mount that stopped answering) runs on a
// few threads of its own, started as work comes and kept, that nobody waits for, not even at the
// end of the program. A thread busy with one piece of work for longer than `stallAfter` seconds
// counts as stalled: while work waits, a supervising thread looks every `stallAfter` seconds and
// starts a thread for each that stalled, so that a stalled piece of work holds one thread, never
// the work queued behind it. A thread started so leaves again once `workers` others wait for work.
// There are never more than `maxThreads`: work beyond waits in the queue until a thread comes back,
// so that a disk that stopped answering to many questions cannot take every thread the system
// allows. A thread the system refuses is no fault: the work waits, and is tried again later.
class StallTolerantExecutor final : public BackgroundExecutor {
public:
    static constexpr std::size_t kWorkers = 4;
    static constexpr double kStallAfter = 0.2;
    static constexpr std::size_t kMaxThreads = 64;

    explicit StallTolerantExecutor(std::size_t workers = kWorkers, double stallAfter = kStallAfter,
                                   std::size_t maxThreads = kMaxThreads);
    // Work not yet started is dropped; the threads end as their work returns.
    ~StallTolerantExecutor() override;
    StallTolerantExecutor(const StallTolerantExecutor&) = delete;
    StallTolerantExecutor& operator=(const StallTolerantExecutor&) = delete;

    void run(TaskPriority priority, std::function<void()> task) override;

    // The threads there are now, stalled ones included.
    std::size_t threadCount() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace sorvin
