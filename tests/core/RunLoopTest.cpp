#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"

using namespace std::chrono_literals;

namespace {

TEST(MainQueue, BlocksFromSeveralThreadsRunInTheOrderTheyWereQueued) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 200;
    std::mutex queueOrder;
    int nextTicket = 0;
    std::vector<int> ran; // touched on the main thread only
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPerThread; ++i) {
                // The lock makes the ticket order the queueing order.
                std::lock_guard lock(queueOrder);
                const int ticket = nextTicket++;
                pf::DispatchQueue::main().async([&ran, ticket] { ran.push_back(ticket); });
            }
        });
    }
    const bool done = pf::RunLoop::main().runUntil(
        [&] { return ran.size() == kThreads * kPerThread; }, std::chrono::seconds(30));
    for (auto& thread : threads)
        thread.join();
    ASSERT_TRUE(done);
    for (int i = 0; i < kThreads * kPerThread; ++i)
        ASSERT_EQ(ran[i], i);
}

TEST(MainQueue, BlockQueuedFromTheMainThreadRunsAfterTheCurrentBlock) {
    pf::ConsoleCapture capture;
    pf::DispatchQueue::main().async([] {
        pf::DispatchQueue::main().async([] { pf::Console::printLine("queued"); });
        pf::Console::printLine("direct, later in the same block");
    });
    EXPECT_EQ(pf::RunLoop::main().runOnce(), 1u); // the inner block waits for the next pass
    EXPECT_EQ(capture.lines(), std::vector<std::string>{"direct, later in the same block"});
    pf::drainMainQueue();
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"direct, later in the same block", "queued"}));
}

TEST(MainQueue, DrainFromInsideABlockDoesNotRunOtherBlocks) {
    std::vector<int> order;
    pf::DispatchQueue::main().async([&] {
        order.push_back(1);
        pf::drainMainQueue();
        order.push_back(2);
    });
    pf::DispatchQueue::main().async([&] { order.push_back(3); });
    pf::drainMainQueue();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(RunLoop, StopEndsRunAfterTheCurrentPass) {
    int ran = 0;
    pf::DispatchQueue::main().async([&] {
        ++ran;
        pf::RunLoop::main().stop();
    });
    pf::DispatchQueue::main().async([&] { ++ran; }); // same pass: still runs
    pf::RunLoop::main().run();
    EXPECT_EQ(ran, 2);
}

TEST(RunLoop, WorkFromAnotherThreadEndsAWaitingRun) {
    std::thread poster([] { pf::DispatchQueue::main().async([] { pf::RunLoop::main().stop(); }); });
    pf::RunLoop::main().run(); // returns only when the block arrived and ran
    poster.join();
    SUCCEED();
}

TEST(RunLoop, WaitHooksReplaceTheBuiltInWait) {
    auto& loop = pf::RunLoop::main();
    auto clock = std::make_shared<pf::ManualClock>();
    loop.setClock(clock);
    std::vector<pf::Clock::duration> waits;
    int wakes = 0;
    loop.setWaitHooks(
        [&](std::optional<pf::Clock::duration> timeout) {
            waits.push_back(timeout.value_or(pf::Clock::duration::max()));
        },
        [&] { ++wakes; });
    pf::DispatchQueue::main().async([] {});
    EXPECT_EQ(wakes, 1);
    // With nothing due before the deadline, the loop waits through the hook for other threads.
    EXPECT_FALSE(loop.runUntil([] { return false; }, 5ms));
    EXPECT_EQ(waits, std::vector<pf::Clock::duration>{5ms});
    EXPECT_EQ(clock->now().time_since_epoch(), 5ms);
    loop.setWaitHooks({}, {});
    loop.setClock(nullptr);
    pf::drainMainQueue();
}

TEST(RunLoop, MainThreadIsTheThreadThatLoadedTheLayer) {
    EXPECT_TRUE(pf::RunLoop::isMainThread());
    bool elsewhere = true;
    std::thread([&] { elsewhere = pf::RunLoop::isMainThread(); }).join();
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(&pf::RunLoop::current(), &pf::RunLoop::main());
}

} // namespace

namespace {

TEST(MainQueue, BlocksBehindAThrowingBlockStillRunInOrder) {
    std::vector<int> order;
    pf::DispatchQueue::main().async([] { throw std::runtime_error("block failed"); });
    pf::DispatchQueue::main().async([&] { order.push_back(1); });
    pf::DispatchQueue::main().async([&] { order.push_back(2); });
    EXPECT_THROW(pf::drainMainQueue(), std::runtime_error);
    pf::DispatchQueue::main().async([&] { order.push_back(3); });
    pf::drainMainQueue();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

} // namespace
