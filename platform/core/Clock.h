#pragma once
// The monotonic time base of a run loop. Production loops use `SteadyClock`; tests give a loop a
// `ManualClock` so timers fire in virtual time and nothing sleeps.

#include <atomic>
#include <chrono>

namespace pf {

class Clock {
public:
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<std::chrono::steady_clock, duration>;

    virtual ~Clock() = default;
    // [any-thread]
    virtual time_point now() const noexcept = 0;
    // A manual clock only moves when told to: a run loop on it advances it to the next due timer
    // instead of sleeping.
    virtual bool isManual() const noexcept { return false; }
    // [loop-thread] Moves a manual clock forward to `t` (never backwards). No effect on a real
    // clock.
    virtual void advanceTo(time_point t) noexcept { (void)t; }
};

class SteadyClock final : public Clock {
public:
    time_point now() const noexcept override { return std::chrono::steady_clock::now(); }
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(time_point start = time_point{}) noexcept
        : ticks_(start.time_since_epoch().count()) {}

    time_point now() const noexcept override { return time_point{duration{ticks_.load()}}; }
    bool isManual() const noexcept override { return true; }
    void advanceTo(time_point t) noexcept override {
        const auto target = t.time_since_epoch().count();
        auto current = ticks_.load();
        while (current < target && !ticks_.compare_exchange_weak(current, target)) {
        }
    }
    // [any-thread] Moves the clock forward by `d` (negative values are ignored).
    void advance(duration d) noexcept {
        if (d.count() > 0) ticks_.fetch_add(d.count());
    }

private:
    std::atomic<duration::rep> ticks_;
};

} // namespace pf
