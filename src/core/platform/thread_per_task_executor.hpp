#pragma once

#include "platform/background_executor.hpp"

#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace sorvin {

// Runs each piece of work on a thread of its own, and waits for all of them when it goes: for the
// few writes that must end, even when a disk holds one of them for long, and must not wait behind
// one another nor behind other work. Work a thread could not be started for runs on the next
// thread that ends its own.
class ThreadPerTaskExecutor final : public BackgroundExecutor {
public:
    ThreadPerTaskExecutor() = default;
    ~ThreadPerTaskExecutor() override;
    ThreadPerTaskExecutor(const ThreadPerTaskExecutor&) = delete;
    ThreadPerTaskExecutor& operator=(const ThreadPerTaskExecutor&) = delete;

    void run(TaskPriority priority, std::function<void()> task) override;

private:
    struct Worker {
        std::thread thread;
        bool ended = false;
    };
    void work(std::list<Worker>::iterator me, std::function<void()> task);
    void joinEnded();

    std::mutex mutex_;
    std::list<Worker> workers_;
    std::list<std::function<void()>> unstarted_;
};

} // namespace sorvin
