#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace sorvin {

// The keys with work out, for every TimedCall. Kept for the whole run of the program, also while
// it ends: a thread left behind may come back at any time.
struct TimedCallKeys {
    static bool claim(const std::string& key);
    static void release(const std::string& key);
};

// Work that may never return (a question to a share or a FUSE mount that stopped answering, whose
// thread then sleeps in the kernel) run on a thread of its own, waited for only until a deadline.
// Nobody waits for a thread left behind, not even the end of the program: it keeps alive what it
// uses, and what it finds late is dropped. While work under a key is still out, the next call under
// that key has no answer at once, so a mount that stopped answering holds one thread, not one per
// question.
template <class Value>
class TimedCall {
public:
    using Clock = std::chrono::steady_clock;

    TimedCall(const std::string& key, std::function<Value()> work) : shared_(std::make_shared<Shared>()) {
        if (!TimedCallKeys::claim(key)) {
            shared_->ended = true;
            return;
        }
        try {
            std::thread([shared = shared_, key, work = std::move(work)] {
                std::optional<Value> value;
                try {
                    value = work();
                } catch (...) {
                }
                TimedCallKeys::release(key);
                {
                    const std::lock_guard lock(shared->mutex);
                    shared->value = std::move(value);
                    shared->ended = true;
                }
                shared->done.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            TimedCallKeys::release(key);
            shared_->ended = true;
        }
    }

    // The value, when the work ended by the deadline; none when it did not (or failed, or another
    // call under the key was still out).
    std::optional<Value> waitUntil(Clock::time_point deadline) {
        std::unique_lock lock(shared_->mutex);
        shared_->done.wait_until(lock, deadline, [&] { return shared_->ended; });
        return shared_->value;
    }

    static std::optional<Value> run(const std::string& key, std::chrono::milliseconds wait,
                                    std::function<Value()> work) {
        TimedCall call(key, std::move(work));
        return call.waitUntil(Clock::now() + wait);
    }

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool ended = false;
        std::optional<Value> value;
    };

    std::shared_ptr<Shared> shared_;
};

} // namespace sorvin
