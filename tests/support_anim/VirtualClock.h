// A fixture that drives the main run loop on a manual clock, so timers fire in virtual time.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Clock.h"
#include "core/RunLoop.h"

// 1/64 s is exact both as a float and in nanoseconds, so tick counts never depend on rounding.
inline constexpr float kTickInterval = 1.0f / 64.0f;
inline constexpr std::chrono::nanoseconds kTickPeriod{15'625'000};

class VirtualClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        pf::RunLoop::claimMainThread();
        clock_ = std::make_shared<pf::ManualClock>();
        pf::RunLoop::main().setClock(clock_);
    }
    void TearDown() override { pf::RunLoop::main().setClock(nullptr); }

    // Moves virtual time on by `n` periods: a timer started at kTickInterval since the last call
    // fires exactly `n` times (a fire time on the end of the run still fires).
    static void ticks(int n) { pf::RunLoop::main().runFor(kTickPeriod * n); }

    // Runs `n` periods one at a time, counting them in `tick`, so that callbacks can note the tick
    // on which they came in `log`.
    void run(int n) {
        for (int i = 0; i < n; ++i) {
            ++tick;
            ticks(1);
        }
    }
    void note(const std::string& e) { log.push_back(std::to_string(tick) + " " + e); }

    int tick = 0;
    std::vector<std::string> log;

private:
    std::shared_ptr<pf::ManualClock> clock_;
};
