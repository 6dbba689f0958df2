#include "platform/stall_tolerant_executor.hpp"

#include "platform/thread_priority.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <iterator>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

namespace sorvin {

using Clock = std::chrono::steady_clock;

struct StallTolerantExecutor::Shared : std::enable_shared_from_this<Shared> {
    // One disk's work: what waits, each piece with the order it came in, and how much runs.
    struct Disk {
        std::deque<std::pair<std::uint64_t, std::function<void()>>> waiting;
        std::size_t running = 0;
    };
    using Threads = std::list<std::optional<Clock::time_point>>;

    Setup setup;
    Clock::duration stallAfter{};
    std::mutex mutex;
    std::condition_variable workWaits;
    std::condition_variable supervisorWakes;
    // The disks with work waiting or running.
    std::map<DiskId, Disk> disks;
    std::uint64_t arrivals = 0;
    // For each thread, when it started the work it is busy with; none while it waits for work.
    Threads threads;
    std::size_t idle = 0;
    bool closed = false;

    std::size_t boundOf(DiskId disk) const { return disk == kAnyDisk ? setup.maxThreads : setup.maxPerDisk; }
    // How much of a disk's work may start now, below its bound.
    std::size_t startableOf(const std::pair<const DiskId, Disk>& disk) const {
        const std::size_t bound = boundOf(disk.first);
        return std::min(disk.second.waiting.size(), bound - std::min(bound, disk.second.running));
    }
    std::size_t startable() const {
        std::size_t count = 0;
        for (const auto& disk : disks) count += startableOf(disk);
        return count;
    }
    // The disk whose work goes next: of those below their bound, the one with the least work
    // running (a disk that answers before one that holds threads), then the one waiting longest.
    std::map<DiskId, Disk>::iterator nextDisk() {
        auto next = disks.end();
        for (auto disk = disks.begin(); disk != disks.end(); ++disk) {
            if (startableOf(*disk) == 0) continue;
            if (next == disks.end() || disk->second.running < next->second.running ||
                (disk->second.running == next->second.running &&
                 disk->second.waiting.front().first < next->second.waiting.front().first))
                next = disk;
        }
        return next;
    }
    // Work waits for a disk that no thread serves.
    bool unservedDiskWaits() const {
        return std::any_of(disks.begin(), disks.end(),
                           [](const auto& disk) { return disk.second.running == 0 && !disk.second.waiting.empty(); });
    }

    // Threads that will take work soon: waiting for it, or busy for less than the stall time.
    std::size_t freeSoon(Clock::time_point now) const {
        return static_cast<std::size_t>(std::count_if(threads.begin(), threads.end(), [&](const auto& since) {
            return !since || now - *since < stallAfter;
        }));
    }
    std::size_t wanted() const { return std::min(setup.workers, startable()); }

    // False at the bound (past it only for a disk no thread serves, one thread for each disk at
    // most), or when the system has no thread to give: the work then waits for a thread that comes
    // back, or for the supervisor's next look. The lock is held by the caller.
    bool startThread() {
        if (threads.size() >= setup.maxThreads &&
            (!unservedDiskWaits() || threads.size() >= setup.maxThreads + disks.size()))
            return false;
        threads.emplace_back();
        ++idle;
        const auto me = std::prev(threads.end());
        if (!setup.startThread([self = shared_from_this(), me] { self->work(me); })) {
            --idle;
            threads.erase(me);
            return false;
        }
        return true;
    }

    // More work may start than threads wait for it: another thread, unless enough are busy for
    // less than the stall time (the supervisor sees to those that stall).
    void queued() {
        if (startable() > idle && freeSoon(Clock::now()) < setup.workers) startThread();
        supervisorWakes.notify_one();
    }

    void work(Threads::iterator me) {
        runBelowMainThread();
        std::unique_lock lock(mutex);
        for (;;) {
            workWaits.wait(lock, [&] { return closed || startable() > 0; });
            if (closed) break;
            const auto next = nextDisk();
            const DiskId disk = next->first;
            std::function<void()> task = std::move(next->second.waiting.front().second);
            next->second.waiting.pop_front();
            ++next->second.running;
            --idle;
            *me = Clock::now();
            lock.unlock();
            task();
            task = nullptr; // what the work holds goes before the thread takes more
            lock.lock();
            me->reset();
            if (const auto done = disks.find(disk); done != disks.end() && --done->second.running == 0 &&
                                                     done->second.waiting.empty())
                disks.erase(done);
            // A thread started while others stalled leaves once enough wait without it.
            if (startable() == 0 && idle >= setup.workers) {
                threads.erase(me);
                return;
            }
            ++idle;
        }
        --idle;
        threads.erase(me);
    }

    // While work may start: after each stall time, a thread for each one that stalled meanwhile.
    void supervise() {
        std::unique_lock lock(mutex);
        while (!closed) {
            if (startable() == 0) {
                supervisorWakes.wait(lock, [&] { return closed || startable() > 0; });
                continue;
            }
            supervisorWakes.wait_for(lock, stallAfter);
            if (closed) break;
            std::size_t free = freeSoon(Clock::now());
            while (free < wanted() && startThread()) ++free;
            workWaits.notify_all();
        }
    }
};

bool StallTolerantExecutor::startSystemThread(std::function<void()> body) {
    try {
        std::thread(std::move(body)).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

StallTolerantExecutor::StallTolerantExecutor() : StallTolerantExecutor(Setup{}) {}

StallTolerantExecutor::StallTolerantExecutor(Setup setup) : shared_(std::make_shared<Shared>()) {
    setup.workers = std::max<std::size_t>(1, setup.workers);
    setup.maxThreads = std::max(setup.workers, setup.maxThreads);
    setup.maxPerDisk = std::max<std::size_t>(1, setup.maxPerDisk);
    if (!setup.startThread) setup.startThread = startSystemThread;
    shared_->stallAfter =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(setup.stallAfter));
    shared_->setup = std::move(setup);
    std::thread([shared = shared_] { shared->supervise(); }).detach();
}

StallTolerantExecutor::~StallTolerantExecutor() {
    std::deque<std::pair<std::uint64_t, std::function<void()>>> dropped;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->closed = true;
        for (auto& [disk, work] : shared_->disks)
            std::move(work.waiting.begin(), work.waiting.end(), std::back_inserter(dropped));
        shared_->disks.clear();
    }
    shared_->workWaits.notify_all();
    shared_->supervisorWakes.notify_all();
}

void StallTolerantExecutor::run(TaskPriority priority, std::function<void()> task) {
    runOnDisk(priority, kAnyDisk, std::move(task));
}

void StallTolerantExecutor::runOnDisk(TaskPriority, DiskId disk, std::function<void()> task) {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->closed) return;
        shared_->disks[disk].waiting.emplace_back(shared_->arrivals++, std::move(task));
        shared_->queued();
    }
    shared_->workWaits.notify_one();
}

std::size_t StallTolerantExecutor::threadCount() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->threads.size();
}

} // namespace sorvin
