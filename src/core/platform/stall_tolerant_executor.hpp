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
//
// Each disk's work is bounded on its own: no more than `maxPerDisk` pieces of one disk run at once,
// the rest of it waits, and the work of other disks goes past it, a disk that no thread serves
// first. There are never more than `maxThreads` threads, except that a disk no thread serves still
// gets one: a share that stopped answering to many questions takes a few threads, never every
// thread the system allows, nor the turn of a disk that answers, however many shares stopped. A
// thread the system refuses is no fault: the work waits, and is tried again later.
class StallTolerantExecutor final : public BackgroundExecutor {
public:
    // Starts a thread that runs `body`; false when the system refuses one. A test stands in for
    // the system here.
    using ThreadStarter = std::function<bool(std::function<void()> body)>;
    static bool startSystemThread(std::function<void()> body);

    struct Setup {
        std::size_t workers = 4;
        double stallAfter = 0.2;
        std::size_t maxThreads = 64;
        std::size_t maxPerDisk = 8;
        ThreadStarter startThread = startSystemThread;
    };

    StallTolerantExecutor();
    explicit StallTolerantExecutor(Setup setup);
    // Work not yet started is dropped; the threads end as their work returns.
    ~StallTolerantExecutor() override;
    StallTolerantExecutor(const StallTolerantExecutor&) = delete;
    StallTolerantExecutor& operator=(const StallTolerantExecutor&) = delete;

    // Work of no disk in particular, bounded only by `maxThreads`.
    void run(TaskPriority priority, std::function<void()> task) override;
    void runOnDisk(TaskPriority priority, DiskId disk, std::function<void()> task) override;

    // The threads there are now, stalled ones included.
    std::size_t threadCount() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace sorvin
