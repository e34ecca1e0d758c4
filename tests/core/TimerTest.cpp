#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

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

TEST_F(TimerOnVirtualClock, RepeatingTimerFiresEveryIntervalStartingOneIntervalAfterScheduling) {
    std::vector<std::chrono::milliseconds> fires;
    schedule(0.040, true, [&](pf::Timer&) { fires.push_back(elapsed()); });
    loop.runFor(39ms);
    EXPECT_TRUE(fires.empty());
    loop.runFor(1ms);
    ASSERT_EQ(fires.size(), 1u);
    loop.runFor(1000ms);
    ASSERT_EQ(fires.size(), 26u);
    for (std::size_t i = 0; i < fires.size(); ++i)
        EXPECT_EQ(fires[i], 40ms * (i + 1));
    EXPECT_EQ(elapsed(), 1040ms);
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

TEST_F(TimerOnVirtualClock, InvalidateInsideItsOwnBlockStopsItAndReleasesTheBlockAfterwards) {
    auto captured = std::make_shared<int>(7);
    std::weak_ptr<int> watch = captured;
    int fires = 0;
    bool aliveAfterInvalidate = false;
    pf::Timer::scheduledTimer(
        0.010, true, [&fires, &aliveAfterInvalidate, &watch, captured](pf::Timer& timer) {
            if (++fires == 3) {
                timer.invalidate();
                aliveAfterInvalidate = !watch.expired() && *captured == 7 && !timer.isValid();
            }
        });
    captured.reset();
    loop.runFor(100ms);
    EXPECT_EQ(fires, 3);
    EXPECT_TRUE(aliveAfterInvalidate);
    EXPECT_TRUE(watch.expired());
    EXPECT_FALSE(loop.timeUntilNextTimer().has_value());
}

TEST_F(TimerOnVirtualClock, LoopKeepsAnUnownedRepeatingTimerAndItsCapturesAlive) {
    auto captured = std::make_shared<int>(1);
    std::weak_ptr<int> watch = captured;
    std::weak_ptr<pf::Timer> timerWatch;
    int fires = 0;
    timerWatch =
        pf::Timer::scheduledTimer(0.005, true, [&fires, captured](pf::Timer&) { ++fires; });
    captured.reset();
    loop.runFor(50ms);
    EXPECT_EQ(fires, 10);
    EXPECT_FALSE(watch.expired());
    ASSERT_FALSE(timerWatch.expired());
    timerWatch.lock()->invalidate();
    EXPECT_TRUE(watch.expired());
    EXPECT_TRUE(timerWatch.expired());
}

TEST_F(TimerOnVirtualClock, OneShotTimerFiresOnceThenIsInvalid) {
    int fires = 0;
    auto timer = schedule(0.020, false, [&](pf::Timer&) { ++fires; });
    loop.runFor(100ms);
    EXPECT_EQ(fires, 1);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(TimerOnVirtualClock, DueTimersFireByFireTimeThenBySchedulingOrder) {
    std::vector<std::pair<std::chrono::milliseconds, char>> fires;
    schedule(0.030, true, [&](pf::Timer&) { fires.emplace_back(elapsed(), 'a'); });
    schedule(0.020, true, [&](pf::Timer&) { fires.emplace_back(elapsed(), 'b'); });
    loop.runFor(60ms);
    const std::vector<std::pair<std::chrono::milliseconds, char>> expected{
        {20ms, 'b'}, {30ms, 'a'}, {40ms, 'b'}, {60ms, 'a'}, {60ms, 'b'}};
    EXPECT_EQ(fires, expected);
}

TEST_F(TimerOnVirtualClock, TimerScheduledInsideABlockFiresOneIntervalLater) {
    std::vector<std::chrono::milliseconds> inner;
    schedule(0.010, false, [&](pf::Timer&) {
        schedule(0.010, false, [&](pf::Timer&) { inner.push_back(elapsed()); });
    });
    loop.runFor(50ms);
    EXPECT_EQ(inner, std::vector<std::chrono::milliseconds>{20ms});
}

TEST_F(TimerOnVirtualClock, NonPositiveOrNanIntervalsBecomeTheMinimum) {
    EXPECT_EQ(schedule(0.0, true, [](pf::Timer&) {})->timeInterval(), pf::Timer::kMinimumInterval);
    EXPECT_EQ(schedule(-1.0, true, [](pf::Timer&) {})->timeInterval(), pf::Timer::kMinimumInterval);
    EXPECT_EQ(schedule(std::nan(""), true, [](pf::Timer&) {})->timeInterval(),
              pf::Timer::kMinimumInterval);
    int fires = 0;
    schedule(0.0, true, [&](pf::Timer&) { ++fires; });
    loop.runFor(1ms);
    EXPECT_EQ(fires, 10);
}

} // namespace

namespace {

TEST(Timer, TimerOfAFinishedThreadCanStillBeInvalidated) {
    std::shared_ptr<pf::Timer> timer;
    std::thread([&] { timer = pf::Timer::scheduledTimer(1.0, true, [](pf::Timer&) {}); }).join();
    ASSERT_TRUE(timer->isValid());
    timer->invalidate(); // its loop ended with the thread
    EXPECT_FALSE(timer->isValid());
}

} // namespace
