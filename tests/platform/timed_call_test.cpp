#include "platform/timed_call.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <mutex>

namespace sorvin {
namespace {

using namespace std::chrono_literals;

// Work held until the test lets it go, as a call into a mount that stopped answering.
struct HeldWork {
    std::mutex mutex;
    std::condition_variable freed;
    bool free = false;
    std::atomic<int> started = 0;

    void letGo() {
        {
            const std::lock_guard lock(mutex);
            free = true;
        }
        freed.notify_all();
    }
};

std::function<int()> heldWork(std::shared_ptr<HeldWork> held, int value) {
    return [held, value] {
        ++held->started;
        std::unique_lock lock(held->mutex);
        held->freed.wait(lock, [&] { return held->free; });
        return value;
    };
}

// Work that asks `questions` questions of a disk, each answered after `each`: a share slow on
// every call. Its subject is the number of the question.
TimedCall<int>::Work slowWork(int questions, std::chrono::milliseconds each) {
    return [questions, each](DiskQuestions& disk) {
        for (int i = 0; i < questions; ++i)
            disk.ask(i, [each] {
                std::this_thread::sleep_for(each);
                return 0;
            });
        return questions;
    };
}

// The caller gets the value of work that ends in time, and none of work that does not; while that
// work is out, the next call under its key starts nothing and gets no answer either once the work
// has gone the wait without an answer. Once the work ends, the key is free again; other keys never
// wait for it.
TEST(TimedCallTest, GivesUpOnWorkThatGoesTheWaitWithoutAnAnswerAndHoldsOneThreadPerKey) {
    EXPECT_EQ(TimedCall<int>::run("quick", 10s, [] { return 7; }), 7);

    auto held = std::make_shared<HeldWork>();
    const std::shared_ptr<void> letGoAtTheEnd(nullptr, [held](void*) { held->letGo(); });
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(TimedCall<int>::run("held", 200ms, heldWork(held, 1)), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 200ms);

    EXPECT_EQ(TimedCall<int>::run("held", 200ms, heldWork(held, 2)), std::nullopt);
    EXPECT_EQ(TimedCall<int>::run("other", 10s, [] { return 3; }), 3);
    EXPECT_EQ(held->started, 1);

    // The work left behind ends by itself; its late value goes nowhere, and the key is free.
    held->letGo();
    std::optional<int> freed;
    for (int tries = 0; tries < 500 && !freed; ++tries)
        if (!(freed = TimedCall<int>::run("held", 10s, [] { return 4; }))) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(freed, 4);
}

// Work whose every question answers within the wait is waited for to its end, however long the
// whole takes; the wait counts from the last answer. A call made while it is out waits for it the
// same way and then does its own work. Work that stops answering midway is given up on, and the
// caller learns what it was asking.
TEST(TimedCallTest, WaitsForWorkThatKeepsGettingAnswersHoweverLong) {
    TimedCall<int> slow("slow", slowWork(10, 100ms));
    EXPECT_EQ(slow.waitWhileAnswering(600ms), 10) << "ten answers of 100 ms each, waited for 600 ms";

    TimedCall<int> first("slow", slowWork(8, 100ms));
    auto second = std::async(std::launch::async, [] {
        std::this_thread::sleep_for(50ms);
        return TimedCall<int>("slow", slowWork(2, 100ms)).waitWhileAnswering(600ms);
    });
    EXPECT_EQ(first.waitWhileAnswering(600ms), 8);
    EXPECT_EQ(second.get(), 2) << "the call made while another was out did its own work after it";

    auto held = std::make_shared<HeldWork>();
    const std::shared_ptr<void> letGoAtTheEnd(nullptr, [held](void*) { held->letGo(); });
    TimedCall<int> stops("stops", [held](DiskQuestions& disk) {
        disk.ask(0, [] { return 0; });
        disk.ask(1, [] { return 0; });
        return disk.ask(2, heldWork(held, 9));
    });
    EXPECT_EQ(stops.waitWhileAnswering(200ms), std::nullopt);
    EXPECT_EQ(stops.asking(), 2);
}

// Work that throws has no value, and leaves its key free.
TEST(TimedCallTest, WorkThatFailsAnswersNone) {
    EXPECT_EQ(TimedCall<int>::run("throws", 10s, []() -> int { throw std::runtime_error("lost"); }), std::nullopt);
    EXPECT_EQ(TimedCall<int>::run("throws", 10s, [] { return 5; }), 5);
}

} // namespace
} // namespace sorvin
