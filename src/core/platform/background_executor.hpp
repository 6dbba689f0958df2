#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <utility>

namespace sorvin {

// How urgent a piece of background work is: what the user waits for, or analysis that may lag.
enum class TaskPriority { userInitiated, utility };

// The disk a piece of work asks (the device of its file system), or any: an executor that keeps
// disks apart (StallTolerantExecutor) bounds the work of each disk on its own, so that a disk that
// stopped answering holds up the work of no other.
using DiskId = std::uint64_t;
inline constexpr DiskId kAnyDisk = std::numeric_limits<DiskId>::max();

// Where detached background work runs. Injected, so tests decide when the work happens.
class BackgroundExecutor {
public:
    virtual ~BackgroundExecutor() = default;
    virtual void run(TaskPriority priority, std::function<void()> task) = 0;
    // Work that asks one disk; like any other work unless the executor keeps disks apart.
    virtual void runOnDisk(TaskPriority priority, DiskId, std::function<void()> task) {
        run(priority, std::move(task));
    }
};

// The program's executor: oneTBB arenas, one per priority, shared by everything that runs detached.
// Work held by a disk that stopped answering keeps its thread, never the work handed after it:
// once that waits while the workers do not use the processor, a helper thread runs it.
// Destroying it waits for the work already handed to it: that work reports to objects (the main
// queue above all) that must not go away under it. Cancel long work before.
class ThreadPoolExecutor final : public BackgroundExecutor {
public:
    ThreadPoolExecutor();
    ~ThreadPoolExecutor() override;
    void run(TaskPriority priority, std::function<void()> task) override;
    // Waits at most `seconds` for the work handed so far to end; false when some still runs.
    bool waitUntilIdle(double seconds);
    // The workers of each priority: one fewer than the machine has cores, at least one.
    static int workerCount();

private:
    struct Arenas;
    std::unique_ptr<Arenas> arenas_;
};

} // namespace sorvin
