#include "platform/stall_tolerant_executor.hpp"

#include "platform/thread_priority.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace sorvin {

using Clock = std::chrono::steady_clock;

struct StallTolerantExecutor::Shared : std::enable_shared_from_this<Shared> {
    std::size_t workers = kWorkers;
    std::size_t maxThreads = kMaxThreads;
    Clock::duration stallAfter{};
    std::mutex mutex;
    std::condition_variable workWaits;
    std::condition_variable supervisorWakes;
    std::deque<std::function<void()>> queue;
    // For each thread, when it started the work it is busy with; none while it waits for work.
    std::list<std::optional<Clock::time_point>> threads;
    std::size_t idle = 0;
    bool closed = false;

    // Threads that will take work soon: waiting for it, or busy for less than the stall time.
    std::size_t freeSoon(Clock::time_point now) const {
        return static_cast<std::size_t>(std::count_if(threads.begin(), threads.end(), [&](const auto& since) {
            return !since || now - *since < stallAfter;
        }));
    }
    std::size_t wanted() const { return std::min(workers, queue.size()); }

    // False at the bound, or when the system has no thread to give (the work then waits for a
    // thread that comes back, or for the supervisor's next look). The lock is held by the caller.
    bool startThread() {
        if (threads.size() >= maxThreads) return false;
        threads.emplace_back();
        ++idle;
        try {
            std::thread([self = shared_from_this(), me = std::prev(threads.end())] { self->work(me); }).detach();
        } catch (const std::system_error&) {
            --idle;
            threads.pop_back();
            return false;
        }
        return true;
    }

    // More work waits than threads wait for it: another thread, unless enough are busy for less
    // than the stall time (the supervisor sees to those that stall).
    void queued() {
        if (queue.size() > idle && freeSoon(Clock::now()) < workers) startThread();
        supervisorWakes.notify_one();
    }

    void work(std::list<std::optional<Clock::time_point>>::iterator me) {
        runBelowMainThread();
        std::unique_lock lock(mutex);
        for (;;) {
            workWaits.wait(lock, [&] { return closed || !queue.empty(); });
            if (closed) break;
            std::function<void()> task = std::move(queue.front());
            queue.pop_front();
            --idle;
            *me = Clock::now();
            lock.unlock();
            task();
            task = nullptr; // what the work holds goes before the thread takes more
            lock.lock();
            me->reset();
            // A thread started while others stalled leaves once enough wait without it.
            if (queue.empty() && idle >= workers) {
                threads.erase(me);
                return;
            }
            ++idle;
        }
        --idle;
        threads.erase(me);
    }

    // While work waits: after each stall time, a thread for each one that stalled meanwhile.
    void supervise() {
        std::unique_lock lock(mutex);
        while (!closed) {
            if (queue.empty()) {
                supervisorWakes.wait(lock, [&] { return closed || !queue.empty(); });
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

StallTolerantExecutor::StallTolerantExecutor(std::size_t workers, double stallAfter, std::size_t maxThreads)
    : shared_(std::make_shared<Shared>()) {
    shared_->workers = std::max<std::size_t>(1, workers);
    shared_->maxThreads = std::max(shared_->workers, maxThreads);
    shared_->stallAfter = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(stallAfter));
    std::thread([shared = shared_] { shared->supervise(); }).detach();
}

StallTolerantExecutor::~StallTolerantExecutor() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->closed = true;
        dropped.swap(shared_->queue);
    }
    shared_->workWaits.notify_all();
    shared_->supervisorWakes.notify_all();
}

void StallTolerantExecutor::run(TaskPriority, std::function<void()> task) {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->closed) return;
        shared_->queue.push_back(std::move(task));
        shared_->queued();
    }
    shared_->workWaits.notify_one();
}

std::size_t StallTolerantExecutor::threadCount() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->threads.size();
}

} // namespace sorvin
