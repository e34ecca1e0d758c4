#pragma once
// The run loop of a thread: work performed on it in order, timers, polled sources, and a wait
// that any thread can end. The loop of the main thread is the main queue of the process: window
// events, due timers and queued blocks all run there, one at a time.
//
// A pass of the loop runs, in this order: the blocks queued before the pass began (a block queued
// during the pass waits for the next one, so a block never runs inside another), the polled
// sources, then every due timer once, in the order of their fire times.
//
// Thread tags: [any-thread] may be called from any thread, the render thread excepted unless the
// tag says so; [loop-thread] only from the thread the loop belongs to (checked).

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/Clock.h"

namespace pf {

class Timer;

class RunLoop {
public:
    using Work = std::function<void()>;
    using duration = Clock::duration;
    // Blocks until `timeout` has passed (none: until woken) or the wake hook was called.
    using WaitHook = std::function<void(std::optional<duration> timeout)>;
    // Ends a wait of the wait hook early. Called from any thread but the render thread.
    using WakeHook = std::function<void()>;

    // How late a real-time signal may be noticed while a wait hook is installed (the hook cannot
    // be woken from the render thread, so the loop never lets it wait longer than this while it
    // has sources to poll).
    static constexpr duration kRealtimePollInterval = std::chrono::milliseconds(10);

    // [any-thread] The loop of the main thread; exists for the life of the process.
    static RunLoop& main();
    // [any-thread] The loop of the calling thread (made on first use; main() on the main thread).
    static RunLoop& current();
    // [any-thread] True on the thread that loaded the platform layer, or that claimed the role.
    static bool isMainThread() noexcept;
    // [any-thread] Makes the calling thread the main thread (test drivers and unusual hosts).
    static void claimMainThread() noexcept;

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;
    ~RunLoop();

    // [any-thread] Queues `work` to run on the loop's thread at its next pass, after everything
    // queued before it. Allocates; use the log ring from the render thread.
    void perform(Work work);

    // [loop-thread] Runs passes until stop() is called.
    void run();
    // [loop-thread] Runs passes for `d` of the loop's clock. Under a manual clock the loop moves
    // the clock to each due timer in turn instead of waiting, so timers fire in order, without
    // sleeping, and the clock ends at start + d.
    void runFor(duration d);
    // [loop-thread] Runs passes until `done()` is true or `timeout` of the loop's clock has passed;
    // returns done(). Under a manual clock, timers up to the deadline fire in virtual time and,
    // when nothing is due, the loop waits for work from other threads (at most `timeout` of real
    // time) before it moves the clock to the deadline.
    bool runUntil(const std::function<bool()>& done, duration timeout);
    // [loop-thread] One pass without waiting; returns the number of blocks run and timers fired.
    std::size_t runOnce();
    // [loop-thread] Runs queued blocks (and those they queue) and polled sources until none is
    // left; fires no timer. Does nothing when called from inside a queued block.
    std::size_t drainQueue();
    // [any-thread] Makes run(), runFor() or runUntil() return after the current pass; when none
    // is running, the next one returns after its first pass (a stop is never lost).
    void stop();

    // [loop-thread] The clock of the loop's timers; nullptr restores the steady clock. Timers
    // already scheduled keep their fire times.
    void setClock(std::shared_ptr<Clock> clock);
    Clock& clock() const noexcept { return *clock_; }

    // [loop-thread] Lets a window backend wait on its own events. The loop calls `wait` instead of
    // its own wait, and `wake` whenever work arrives from another thread. Empty hooks restore the
    // built-in wait on wakeFd().
    void setWaitHooks(WaitHook wait, WakeHook wake);
    // [any-thread] Readable while the loop has something to do; a backend may poll it.
    int wakeFd() const noexcept { return wakeFd_; }
    // [loop-thread] Time until the next timer is due (zero when one is due; none: no timer).
    std::optional<duration> timeUntilNextTimer() const;

    // [any-thread] Adds a source polled on the loop thread on passes after signalFromRealtime().
    void addPolledSource(Work poll);
    // [render-thread][any-thread] Marks the polled sources as having work and wakes the loop.
    // Never allocates and takes no lock (at most one eventfd write per batch of signals).
    void signalFromRealtime() noexcept;

    // [any-thread] True when the calling thread is the loop's thread.
    bool isLoopThread() const noexcept;

private:
    friend class Timer;

    explicit RunLoop(bool isMain);
    static const std::shared_ptr<RunLoop>& mainShared();
    static const std::shared_ptr<RunLoop>& currentShared();
    void wake();
    void wait(std::optional<duration> timeout);
    void requireLoopThread(const char* what) const;
    std::size_t runQueuedBlocks();
    std::size_t pollSources();
    std::size_t fireDueTimers();
    bool hasQueuedWork();
    std::optional<Clock::time_point> nextFireTime() const;
    void addTimer(const std::shared_ptr<Timer>& timer);
    void removeTimer(const Timer* timer);

    const bool isMain_;
    std::thread::id owner_;
    std::shared_ptr<Clock> clock_;
    mutable std::mutex mutex_;
    std::deque<Work> queue_;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::vector<Work> sources_;
    std::atomic<bool> signaled_{false};
    std::atomic<bool> stopRequested_{false};
    bool inBlock_ = false;
    int wakeFd_ = -1;
    WaitHook waitHook_;
    std::shared_ptr<WakeHook> wakeHook_;
    std::uint64_t timerSequence_ = 0;
};

// [main-thread] RunLoop::main().drainQueue().
std::size_t drainMainQueue();

} // namespace pf
