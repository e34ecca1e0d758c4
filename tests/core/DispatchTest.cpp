#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/Check.h"
#include "core/Dispatch.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::string> gFailures; // written by the recording handler
std::mutex gFailuresMutex;

void recordFailure(std::string_view message) {
    std::lock_guard lock(gFailuresMutex);
    gFailures.emplace_back(message);
}

class RecordedChecks : public ::testing::Test {
protected:
    void SetUp() override {
        gFailures.clear();
        previous = pf::setCheckFailureHandler(&recordFailure);
    }
    void TearDown() override { pf::setCheckFailureHandler(previous); }
    pf::CheckFailureHandler previous = nullptr;
};

TEST(SerialQueue, AsyncAndSyncBlocksRunInQueueingOrderOnOneWorker) {
    pf::DispatchQueue queue("test.serial");
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    for (int i = 0; i < 100; ++i) {
        queue.async([&, i] {
            order.push_back(i);
            threads.push_back(std::this_thread::get_id());
        });
    }
    queue.sync([&] { order.push_back(100); });
    ASSERT_EQ(order.size(), 101u);
    for (int i = 0; i <= 100; ++i)
        EXPECT_EQ(order[i], i);
    for (auto id : threads)
        EXPECT_EQ(id, threads.front());
    EXPECT_NE(threads.front(), std::this_thread::get_id());
}

TEST(SerialQueue, DestroyingTheQueueRunsWhatIsQueued) {
    std::atomic<int> ran{0};
    {
        pf::DispatchQueue queue("test.drain");
        for (int i = 0; i < 50; ++i)
            queue.async([&] { ++ran; });
    }
    EXPECT_EQ(ran.load(), 50);
}

TEST(SerialQueue, SyncRethrowsTheBlocksExceptionOnTheCaller) {
    pf::DispatchQueue queue("test.throw");
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("x"); }), std::runtime_error);
    int after = 0;
    queue.sync([&] { after = 1; });
    EXPECT_EQ(after, 1);
}

TEST_F(RecordedChecks, SyncOntoTheRunningSerialQueueIsReportedInsteadOfDeadlocking) {
    pf::DispatchQueue queue("test.self");
    bool innerRan = false;
    queue.sync([&] { queue.sync([&] { innerRan = true; }); });
    EXPECT_FALSE(innerRan);
    ASSERT_EQ(gFailures.size(), 1u);
    EXPECT_NE(gFailures[0].find("test.self"), std::string::npos);
}

TEST_F(RecordedChecks, SyncOntoTheMainQueueFromTheMainThreadIsReported) {
    bool ran = false;
    pf::DispatchQueue::main().sync([&] { ran = true; });
    EXPECT_FALSE(ran);
    EXPECT_EQ(gFailures.size(), 1u);
}

TEST(MainQueue, SyncFromAnotherThreadRunsOnTheMainThreadAndWaits) {
    bool ran = false;
    bool onMain = false;
    bool ranBeforeReturn = false;
    std::thread worker([&] {
        pf::DispatchQueue::main().sync([&] {
            onMain = pf::RunLoop::isMainThread();
            ran = true;
        });
        ranBeforeReturn = ran;
    });
    EXPECT_TRUE(pf::RunLoop::main().runUntil([&] { return ran; }, 30s));
    worker.join();
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(ranBeforeReturn);
}

TEST(GlobalQueue, BlocksRunOffTheMainThreadAndCanReportBackToTheMainQueue) {
    constexpr int kBlocks = 64;
    std::atomic<int> offMain{0};
    int reported = 0;
    for (int i = 0; i < kBlocks; ++i) {
        pf::DispatchQueue::global().async([&] {
            if (!pf::RunLoop::isMainThread()) ++offMain;
            pf::DispatchQueue::main().async([&] { ++reported; });
        });
    }
    EXPECT_TRUE(pf::RunLoop::main().runUntil([&] { return reported == kBlocks; }, 30s));
    EXPECT_EQ(offMain.load(), kBlocks);
}

} // namespace

namespace {

TEST_F(RecordedChecks, DebugBuildsReportCallsFromTheWrongThread) {
#ifdef NDEBUG
    GTEST_SKIP() << "thread roles are checked in debug builds";
#else
    EXPECT_TRUE(pf::checkMainThread("main-thread call"));
    EXPECT_TRUE(pf::checkNotRenderThread("render-free call"));
    bool mainOk = true;
    bool renderOk = true;
    std::thread([&] {
        mainOk = pf::checkMainThread("main-thread call from a worker");
        pf::RenderThreadScope scope;
        renderOk = pf::checkNotRenderThread("blocking call on the render thread");
    }).join();
    EXPECT_FALSE(mainOk);
    EXPECT_FALSE(renderOk);
    EXPECT_EQ(gFailures, (std::vector<std::string>{"main-thread call from a worker",
                                                   "blocking call on the render thread"}));
#endif
}

} // namespace
