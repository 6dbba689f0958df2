#include "platform/operation_queue.hpp"
#include "support/manual_main_queue.hpp"

#include <atomic>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace sorvin {
namespace {

struct OperationQueueTest : ::testing::Test {
    test::ManualExecutor executor;
    std::vector<int> ran;

    std::shared_ptr<Operation> recording(int number) {
        return Operation::make([this, number](const Operation::Probe&) { ran.push_back(number); });
    }
};

TEST_F(OperationQueueTest, RunsInOrderNeverMoreThanItsWidthAtOnce) {
    OperationQueue queue(executor, "test", 2);
    for (int i = 1; i <= 5; ++i)
        queue.addOperation(recording(i));
    EXPECT_EQ(executor.waiting(), 2u) << "two slots";
    EXPECT_EQ(queue.operationCount(), 5u);

    executor.runAt(1); // the second finishes first and frees its slot for the third
    EXPECT_EQ(executor.waiting(), 2u);
    executor.runAll();
    EXPECT_EQ(ran, (std::vector<int>{2, 1, 3, 4, 5}));
    EXPECT_EQ(queue.operationCount(), 0u);
    EXPECT_EQ(executor.started(), 5u);
}

TEST_F(OperationQueueTest, CancelledWorkThatHasNotStartedNeverRunsNorTakesASlot) {
    OperationQueue queue(executor, "test", 1);
    auto first = recording(1);
    auto second = recording(2);
    auto third = recording(3);
    queue.addOperation(first);
    queue.addOperation(second);
    queue.addOperation(third);
    second->cancel();
    executor.runAll();
    EXPECT_EQ(ran, (std::vector<int>{1, 3}));
    EXPECT_TRUE(second->isFinished());
    EXPECT_EQ(executor.started(), 2u) << "the cancelled operation was never handed over";
}

TEST_F(OperationQueueTest, CancelAllStopsWaitingAndRunningWork) {
    OperationQueue queue(executor, "test", 1);
    bool sawCancellation = false;
    auto running =
        Operation::make([&](const Operation::Probe& isCancelled) { sawCancellation = isCancelled(); });
    queue.addOperation(running);
    queue.addOperation(recording(2));
    queue.cancelAllOperations();
    EXPECT_EQ(queue.operationCount(), 1u) << "only the one already handed to the executor";
    executor.runAll();
    EXPECT_FALSE(sawCancellation) << "a cancelled operation does not start at all";
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST_F(OperationQueueTest, TheProbeSeesACancellationMadeWhileTheWorkRuns) {
    OperationQueue queue(executor, "test", 1);
    std::shared_ptr<Operation> operation;
    std::vector<bool> answers;
    operation = Operation::make([&](const Operation::Probe& isCancelled) {
        answers.push_back(isCancelled());
        operation->cancel();
        answers.push_back(isCancelled());
    });
    queue.addOperation(operation);
    executor.runAll();
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
}

TEST_F(OperationQueueTest, AProbeOutlivingItsOperationAnswersCancelled) {
    Operation::Probe probe;
    {
        auto operation = Operation::make([](const Operation::Probe&) {});
        probe = operation->cancellationProbe();
        EXPECT_FALSE(probe());
    }
    EXPECT_TRUE(probe());
}

TEST_F(OperationQueueTest, WorkStillRunningWhenTheQueueGoesIsCancelledAndEndsSafely) {
    bool cancelledSeen = false;
    {
        OperationQueue queue(executor, "test", 1);
        queue.addOperation(recording(1));
        queue.addOperation(
            Operation::make([&](const Operation::Probe& isCancelled) { cancelledSeen = isCancelled(); }));
        executor.runAt(0); // the first finishes, the second is handed over
    }
    executor.runAll();
    EXPECT_FALSE(cancelledSeen) << "the second never started: it was cancelled with the queue";
    EXPECT_EQ(ran, (std::vector<int>{1}));
}

TEST(OperationQueueThreadsTest, AWidthOfTwoHoldsOnRealThreads) {
    ThreadPoolExecutor executor;
    OperationQueue queue(executor, "test", 2);
    constexpr int kCount = 40;
    std::atomic<int> running{0}, peak{0}, finished{0};
    std::promise<void> allDone;
    for (int i = 0; i < kCount; ++i) {
        queue.addOperation(Operation::make([&](const Operation::Probe&) {
            const int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) {
            }
            volatile double sink = 0;
            for (int k = 0; k < 20000; ++k)
                sink = sink + k;
            --running;
            if (++finished == kCount) allDone.set_value();
        }));
    }
    allDone.get_future().wait();
    while (queue.operationCount() > 0) // the last one is still leaving its slot
        std::this_thread::yield();
    EXPECT_LE(peak.load(), 2);
    EXPECT_GE(peak.load(), 1);
}

} // namespace
} // namespace sorvin
