#pragma once

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#include <atomic>
#endif

namespace sorvin {

// oneTBB hands the parts of a parallel loop (and a task group's tasks) to the threads that run them
// inside libtbb, which is built without ThreadSanitizer, so in that build what a part reads of what
// its caller prepared would seem to race with the caller. There the caller hands its work over
// (a release) before the parts start, and each part takes it over (an acquire) before it runs: the
// sanitizer then sees the order the library keeps, while the parts stay unordered among themselves.
// The way back, the caller reading the parts' results once it has waited for them, is seen through
// the wait (platform/tbb_wait_handoff_tsan.cpp). In every other build both steps are nothing.
class ParallelHandoff {
public:
#if defined(__SANITIZE_THREAD__)
    void handOver() {
        handedOver_.store(true, std::memory_order_release);
    }
    void takeOver() const {
        (void)handedOver_.load(std::memory_order_acquire);
    }

private:
    std::atomic<bool> handedOver_{false};
#else
    void handOver() {}
    void takeOver() const {}
#endif
};

// tbb::parallel_for over a range (with a partitioner when one is given), every part seeing what the
// caller did before.
template <typename Range, typename Body, typename... Partitioner>
requires requires(const Range& range) {
    range.is_divisible();
}
void parallelFor(const Range& range, const Body& body, Partitioner&&... partitioner) {
    ParallelHandoff handoff;
    handoff.handOver();
    tbb::parallel_for(
        range,
        [&](const Range& part) {
            handoff.takeOver();
            body(part);
        },
        std::forward<Partitioner>(partitioner)...);
}

// tbb::parallel_for over the indices first to last (excluded), every call seeing what the caller did
// before. (Over a range, so that what the parts read of the call before they take the work over is
// their own copy, not the caller's.)
template <typename Index, typename Function>
void parallelFor(Index first, Index last, const Function& function) {
    if (!(first < last)) return;
    parallelFor(tbb::blocked_range<Index>(first, last), [&](const tbb::blocked_range<Index>& part) {
        for (Index index = part.begin(); index != part.end(); ++index)
            function(index);
    });
}

} // namespace sorvin
