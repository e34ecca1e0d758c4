#pragma once
// A timer on the run loop of the thread that scheduled it (the main thread in practice).
//
// The first fire comes one interval after scheduling. A repeating timer keeps its cadence from
// its scheduled fire times; when the loop is late past one or more fire times the timer fires
// once and moves on to the next future slot (missed periods are skipped, never caught up).
// The run loop owns a scheduled timer, and so its block and everything the block captures,
// until the timer is invalidated; a one-shot timer invalidates itself after its block ran.
// invalidate() is safe inside the timer's own block: the block stays alive until it returns.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "core/RunLoop.h"

namespace pf {

class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

    // Intervals at or below zero (or NaN) become this.
    static constexpr double kMinimumInterval = 0.0001;

    // [any-thread] Schedules a timer on the calling thread's run loop; `withTimeInterval` in
    // seconds. The caller may drop the returned pointer: the loop keeps the timer while valid.
    static std::shared_ptr<Timer> scheduledTimer(double withTimeInterval, bool repeats,
                                                 Block block);

    // [any-thread] Stops the timer for good and releases its block (after the block returns when
    // called from inside it). Idempotent.
    void invalidate();
    // [any-thread]
    bool isValid() const noexcept { return valid_.load(); }
    // [any-thread] The interval in seconds, after clamping.
    double timeInterval() const noexcept { return interval_; }
    // [any-thread] True for a repeating timer.
    bool repeats() const noexcept { return repeats_; }

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

private:
    friend class RunLoop;
    struct Private {};

public:
    Timer(Private, const std::shared_ptr<RunLoop>& loop, double interval, bool repeats,
          Block block);

private:
    std::weak_ptr<RunLoop> loop_; // a thread's loop may end before a timer someone holds
    const double interval_;
    const Clock::duration period_;
    const bool repeats_;
    std::atomic<bool> valid_{true};
    // Guarded by the loop's mutex.
    std::shared_ptr<Block> block_;
    Clock::time_point fireTime_{};
    std::uint64_t sequence_ = 0;
};

} // namespace pf
