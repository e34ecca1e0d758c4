#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "core/Timer.h"

using namespace std::chrono_literals;

namespace {

class TimerOnVirtualClock : public ::testing::Test {
protected:
    void SetUp() override { pf::RunLoop::main().setClock(clock); }
    void TearDown() override {
        for (auto& timer : timers)
            timer->invalidate();
        pf::RunLoop::main().setClock(nullptr);
    }
    std::chrono::milliseconds elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            clock->now().time_since_epoch());
    }
    std::shared_ptr<pf::Timer> schedule(double seconds, bool repeats, pf::Timer::Block block) {
        timers.push_back(pf::Timer::scheduledTimer(seconds, repeats, std::move(block)));
        return timers.back();
    }

    std::shared_ptr<pf::ManualClock> clock = std::make_shared<pf::ManualClock>();
    std::vector<std::shared_ptr<pf::Timer>> timers;
    pf::RunLoop& loop = pf::RunLoop::main();
};

TEST_F(TimerOnVirtualClock, DueTimersFireByFireTimeThenBySchedulingOrderAndOneShotsOnce) {
    std::vector<std::pair<std::chrono::milliseconds, char>> fires;
    auto log = [&](char name) {
        return [&, name](pf::Timer&) { fires.emplace_back(elapsed(), name); };
    };
    schedule(0.030, true, log('a'));
    schedule(0.020, true, log('b'));
    auto once = schedule(0.020, false, log('c'));
    loop.runFor(60ms);
    const std::vector<std::pair<std::chrono::milliseconds, char>> expected{
        {20ms, 'b'}, {20ms, 'c'}, {30ms, 'a'}, {40ms, 'b'}, {60ms, 'a'}, {60ms, 'b'}};
    EXPECT_EQ(fires, expected);
    EXPECT_FALSE(once->isValid());
}

TEST_F(TimerOnVirtualClock, LateLoopFiresOnceAndSkipsMissedPeriods) {
    std::vector<std::chrono::milliseconds> fires;
    schedule(0.040, true, [&](pf::Timer&) { fires.push_back(elapsed()); });
    clock->advance(130ms); // three periods due at 40, 80 and 120 ms
    loop.runOnce();
    EXPECT_EQ(fires, std::vector<std::chrono::milliseconds>{130ms});
    loop.runFor(29ms); // the cadence stays on its grid: next at 160 ms
    EXPECT_EQ(fires.size(), 1u);
    loop.runFor(1ms);
    EXPECT_EQ(fires, (std::vector<std::chrono::milliseconds>{130ms, 160ms}));
}

TEST_F(TimerOnVirtualClock, NonPositiveOrNanIntervalsBecomeTheMinimum) {
    for (double seconds : {0.0, -1.0, std::nan("")})
        EXPECT_EQ(schedule(seconds, true, [](pf::Timer&) {})->timeInterval(),
                  pf::Timer::kMinimumInterval)
            << seconds;
    int fires = 0;
    schedule(0.0, true, [&](pf::Timer&) { ++fires; });
    loop.runFor(1ms);
    EXPECT_EQ(fires, 10);
}

TEST(MainQueue, BlocksRunInQueueingOrderEvenBehindAThrowingBlock) {
    std::vector<int> order;
    pf::DispatchQueue::main().async([] { throw std::runtime_error("block failed"); });
    pf::DispatchQueue::main().async([&] { order.push_back(1); });
    pf::DispatchQueue::main().async([&] { order.push_back(2); });
    EXPECT_THROW(pf::drainMainQueue(), std::runtime_error);
    pf::DispatchQueue::main().async([&] { order.push_back(3); });
    pf::drainMainQueue();
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(SerialQueue, SyncRethrowsTheBlocksExceptionOnTheCaller) {
    pf::DispatchQueue queue("test.throw");
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("x"); }), std::runtime_error);
    int after = 0;
    queue.sync([&] { after = 1; });
    EXPECT_EQ(after, 1);
}

} // namespace
