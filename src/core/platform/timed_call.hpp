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

// How far the work of a TimedCall has got, as whoever waits for it sees it: whether it ended, what
// it asks now (a number its caller gives a meaning to) and when a disk last answered it.
struct CallProgress {
    using Clock = std::chrono::steady_clock;

    std::mutex mutex;
    std::condition_variable changed;
    bool ended = false;
    int asking = 0;
    Clock::time_point lastAnswer = Clock::now();

    // Waits, with `lock` held on `mutex`, until the work ends or has gone `wait` without an answer
    // (however long it keeps answering); whether it ended.
    bool waitWhileAnswering(std::unique_lock<std::mutex>& lock, Clock::duration wait);
};

// The questions the work of a TimedCall asks of disks, one at a time, each told to whoever waits:
// a wait counts from the last answer, not from the start of the work.
class DiskQuestions {
public:
    explicit DiskQuestions(std::shared_ptr<CallProgress> progress) : progress_(std::move(progress)) {}

    // The answer to `question`, asked of `subject`.
    template <class Question>
    auto ask(int subject, Question&& question) {
        asking(subject);
        auto answer = std::forward<Question>(question)();
        answered();
        return answer;
    }

private:
    void asking(int subject);
    void answered();

    std::shared_ptr<CallProgress> progress_;
};

// The calls with work out, by key, for every TimedCall. Kept for the whole run of the program, also
// while it ends: a thread left behind may come back at any time.
struct TimedCallKeys {
    // None when the key is now `progress`'s; else the progress of the call that holds it.
    static std::shared_ptr<CallProgress> claim(const std::string& key, const std::shared_ptr<CallProgress>& progress);
    static void release(const std::string& key);
};

// Work that may never return (questions to a share or a FUSE mount that stopped answering, whose
// thread then sleeps in the kernel) run on a thread of its own, waited for only while it keeps
// getting answers. Nobody waits for a thread left behind, not even the end of the program: it keeps
// alive what it uses, and what it finds late is dropped. One call at a time under a key: a call
// made while another under its key is out starts when that one ends, waiting for it as for its own
// work, so that a mount that stopped answering holds one thread, not one per question.
template <class Value>
class TimedCall {
public:
    using Clock = CallProgress::Clock;
    using Work = std::function<Value(DiskQuestions&)>;

    // Starts the work at once, or once the call out under its key has ended.
    TimedCall(std::string key, Work work) : key_(std::move(key)), work_(std::move(work)) { startWhenFree(); }

    // The value, when the work ended without going `wait` between two answers, nor did the call
    // under its key that ran before it; none otherwise (or when it failed).
    std::optional<Value> waitWhileAnswering(Clock::duration wait) {
        while (!started_) {
            std::unique_lock lock(holder_->mutex);
            if (!holder_->waitWhileAnswering(lock, wait)) {
                asking_ = holder_->asking;
                return std::nullopt;
            }
            lock.unlock();
            startWhenFree();
        }
        std::unique_lock lock(shared_->mutex);
        shared_->waitWhileAnswering(lock, wait);
        asking_ = shared_->asking;
        return shared_->value;
    }

    // What was being asked when the wait ended: the subject of the last question.
    int asking() const { return asking_; }

    // The work asked as one question of a disk, given `wait` to answer.
    static std::optional<Value> run(std::string key, Clock::duration wait, std::function<Value()> work) {
        TimedCall call(std::move(key), [work = std::move(work)](DiskQuestions& disk) { return disk.ask(0, work); });
        return call.waitWhileAnswering(wait);
    }

private:
    struct Shared : CallProgress {
        std::optional<Value> value;
    };

    void startWhenFree() {
        holder_ = TimedCallKeys::claim(key_, shared_);
        if (!holder_) start();
    }

    void start() {
        started_ = true;
        {
            const std::lock_guard lock(shared_->mutex);
            shared_->lastAnswer = Clock::now();
        }
        try {
            std::thread([shared = shared_, key = key_, work = std::move(work_)] {
                std::optional<Value> value;
                try {
                    DiskQuestions questions(shared);
                    value = work(questions);
                } catch (...) {
                }
                TimedCallKeys::release(key);
                {
                    const std::lock_guard lock(shared->mutex);
                    shared->value = std::move(value);
                    shared->ended = true;
                }
                shared->changed.notify_all();
            }).detach();
        } catch (const std::system_error&) {
            TimedCallKeys::release(key_);
            const std::lock_guard lock(shared_->mutex);
            shared_->ended = true;
        }
    }

    std::string key_;
    Work work_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::shared_ptr<CallProgress> holder_; // the call out under the key, while this one waits for it
    bool started_ = false;
    int asking_ = 0;
};

} // namespace sorvin
