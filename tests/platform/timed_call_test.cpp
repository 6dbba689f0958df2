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

// The caller gets the value of work that ends in time, and none of work that does not, by the
// deadline; while that work is out, the next call under its key starts nothing and answers at once.
// Once the work ends, the key is free again; other keys never wait for it.
TEST(TimedCallTest, WaitsUntilTheDeadlineAndHoldsOneThreadPerKey) {
    EXPECT_EQ(TimedCall<int>::run("quick", 10s, [] { return 7; }), 7);

    auto held = std::make_shared<HeldWork>();
    const std::shared_ptr<void> letGoAtTheEnd(nullptr, [held](void*) { held->letGo(); });
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(TimedCall<int>::run("held", 200ms, heldWork(held, 1)), std::nullopt);
    EXPECT_GE(std::chrono::steady_clock::now() - before, 200ms);

    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(TimedCall<int>::run("held", 10s, heldWork(held, 2)), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - again, 5s) << "a key still out answers at once";
    EXPECT_EQ(TimedCall<int>::run("other", 10s, [] { return 3; }), 3);
    EXPECT_EQ(held->started, 1);

    // The work left behind ends by itself; its late value goes nowhere, and the key is free.
    held->letGo();
    std::optional<int> freed;
    for (int tries = 0; tries < 500 && !freed; ++tries)
        if (!(freed = TimedCall<int>::run("held", 10s, [] { return 4; }))) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(freed, 4);
}

// Work that throws has no value, and leaves its key free.
TEST(TimedCallTest, WorkThatFailsAnswersNone) {
    EXPECT_EQ(TimedCall<int>::run("throws", 10s, []() -> int { throw std::runtime_error("lost"); }), std::nullopt);
    EXPECT_EQ(TimedCall<int>::run("throws", 10s, [] { return 5; }), 5);
}

} // namespace
} // namespace sorvin
