#include "core/RunLoop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <ctime>

#include "core/Check.h"
#include "core/Timer.h"

namespace pf {
namespace {

// The thread that loads the platform layer is the process's main thread: the layer is linked,
// not loaded later, so its initialisers run on the thread that enters main().
std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

} // namespace

RunLoop& RunLoop::main() {
    return *mainShared();
}

const std::shared_ptr<RunLoop>& RunLoop::mainShared() {
    // Never destroyed: blocks queued while the process exits must find a loop.
    static const auto* const loop = new std::shared_ptr<RunLoop>(new RunLoop(true));
    return *loop;
}

RunLoop& RunLoop::current() {
    return *currentShared();
}

const std::shared_ptr<RunLoop>& RunLoop::currentShared() {
    if (isMainThread()) return mainShared();
    // Ends with its thread; timers keep only a weak reference to it.
    thread_local const std::shared_ptr<RunLoop> loop(new RunLoop(false));
    return loop;
}

bool RunLoop::isMainThread() noexcept {
    return gMainThread.load() == std::this_thread::get_id();
}

void RunLoop::claimMainThread() noexcept {
    gMainThread.store(std::this_thread::get_id());
}

RunLoop::RunLoop(bool isMain)
    : isMain_(isMain), owner_(std::this_thread::get_id()), clock_(std::make_shared<SteadyClock>()),
      wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

RunLoop::~RunLoop() {
    if (wakeFd_ >= 0) close(wakeFd_);
}

bool RunLoop::isLoopThread() const noexcept {
    return isMain_ ? isMainThread() : owner_ == std::this_thread::get_id();
}

void RunLoop::requireLoopThread(const char* what) const {
    if (!isLoopThread()) {
        checkFailed(std::string_view(what));
    }
}

void RunLoop::perform(Work work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    wake();
}

void RunLoop::signalFromRealtime() noexcept {
    // One wake-up per batch: later signals before the next poll only set the flag again.
    if (signaled_.exchange(true, std::memory_order_acq_rel)) return;
    const std::uint64_t one = 1;
    // A full counter (never in practice) still leaves the fd readable; nothing else to do.
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
}

void RunLoop::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
    std::shared_ptr<WakeHook> hook;
    {
        std::lock_guard lock(mutex_);
        hook = wakeHook_;
    }
    if (hook && *hook) (*hook)();
}

void RunLoop::wait(std::optional<duration> timeout) {
    WaitHook hook;
    bool hasSources = false;
    {
        std::lock_guard lock(mutex_);
        hook = waitHook_;
        hasSources = !sources_.empty();
    }
    if (hook) {
        if (hasSources && (!timeout || *timeout > kRealtimePollInterval)) {
            timeout = kRealtimePollInterval;
        }
        hook(timeout);
    } else {
        pollfd fd{wakeFd_, POLLIN, 0};
        timespec ts{};
        timespec* tsp = nullptr;
        if (timeout) {
            const auto ns = std::max<duration::rep>(timeout->count(), 0);
            ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            tsp = &ts;
        }
        while (ppoll(&fd, 1, tsp, nullptr) < 0 && errno == EINTR) {
        }
    }
    std::uint64_t count = 0;
    [[maybe_unused]] auto got = ::read(wakeFd_, &count, sizeof count);
}

bool RunLoop::hasQueuedWork() {
    if (signaled_.load(std::memory_order_acquire)) return true;
    std::lock_guard lock(mutex_);
    return !queue_.empty() && !inBlock_;
}

std::size_t RunLoop::runQueuedBlocks() {
    if (inBlock_) return 0; // a block never runs inside another block
    std::deque<Work> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
    }
    std::size_t count = 0;
    while (!batch.empty()) {
        Work work = std::move(batch.front());
        batch.pop_front();
        inBlock_ = true;
        try {
            if (work) work();
        } catch (...) {
            // The blocks behind a throwing one still run, first, at the next pass.
            inBlock_ = false;
            std::lock_guard lock(mutex_);
            queue_.insert(queue_.begin(), std::make_move_iterator(batch.begin()),
                          std::make_move_iterator(batch.end()));
            throw;
        }
        inBlock_ = false;
        ++count;
    }
    return count;
}

std::size_t RunLoop::pollSources() {
    if (!signaled_.exchange(false, std::memory_order_acq_rel)) return 0;
    std::vector<Work> sources;
    {
        std::lock_guard lock(mutex_);
        sources = sources_;
    }
    for (auto& source : sources)
        source();
    return sources.size();
}

std::size_t RunLoop::fireDueTimers() {
    const auto now = clock_->now();
    std::vector<std::shared_ptr<Timer>> due;
    {
        std::lock_guard lock(mutex_);
        for (const auto& timer : timers_) {
            if (timer->fireTime_ <= now) due.push_back(timer);
        }
    }
    std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
        return a->fireTime_ != b->fireTime_ ? a->fireTime_ < b->fireTime_
                                            : a->sequence_ < b->sequence_;
    });
    std::size_t fired = 0;
    for (const auto& timer : due) {
        std::shared_ptr<Timer::Block> block;
        {
            std::lock_guard lock(mutex_);
            if (!timer->valid_.load() || !timer->block_) continue;
            block = timer->block_;
            if (timer->repeats_) {
                // Next slot after `now` on the timer's own grid: late passes fire once, skip the
                // rest.
                const auto period = timer->period_;
                auto next = timer->fireTime_ + period;
                if (next <= now) next += ((now - next) / period + 1) * period;
                timer->fireTime_ = next;
            }
        }
        (*block)(*timer);
        ++fired;
        if (!timer->repeats_) timer->invalidate();
    }
    return fired;
}

std::size_t RunLoop::runOnce() {
    requireLoopThread("RunLoop::runOnce() called off the loop's thread");
    std::size_t count = runQueuedBlocks();
    count += pollSources();
    count += fireDueTimers();
    return count;
}

std::size_t RunLoop::drainQueue() {
    requireLoopThread("RunLoop::drainQueue() called off the loop's thread");
    if (inBlock_) return 0;
    std::size_t total = 0;
    for (;;) {
        std::size_t count = runQueuedBlocks();
        count += pollSources();
        if (count == 0) return total;
        total += count;
    }
}

std::optional<Clock::time_point> RunLoop::nextFireTime() const {
    std::lock_guard lock(mutex_);
    std::optional<Clock::time_point> next;
    for (const auto& timer : timers_) {
        if (!next || timer->fireTime_ < *next) next = timer->fireTime_;
    }
    return next;
}

std::optional<RunLoop::duration> RunLoop::timeUntilNextTimer() const {
    const auto next = nextFireTime();
    if (!next) return std::nullopt;
    return std::max(duration::zero(), *next - clock_->now());
}

void RunLoop::run() {
    requireLoopThread("RunLoop::run() called off the loop's thread");
    while (!stopRequested_.load()) {
        runOnce();
        if (stopRequested_.load() || hasQueuedWork()) continue;
        const auto next = nextFireTime();
        const auto now = clock_->now();
        if (next && clock_->isManual()) {
            clock_->advanceTo(*next);
        } else {
            wait(next ? std::optional<duration>(*next - now) : std::nullopt);
        }
    }
    stopRequested_.store(false);
}

void RunLoop::runFor(duration d) {
    requireLoopThread("RunLoop::runFor() called off the loop's thread");
    const auto deadline = clock_->now() + d;
    for (;;) {
        runOnce();
        if (stopRequested_.exchange(false)) return;
        const auto now = clock_->now();
        if (now >= deadline) return;
        if (hasQueuedWork()) continue;
        const auto next = nextFireTime();
        const auto until = next ? std::min(*next, deadline) : deadline;
        if (clock_->isManual()) {
            clock_->advanceTo(until);
        } else {
            wait(until - now);
        }
    }
}

bool RunLoop::runUntil(const std::function<bool()>& done, duration timeout) {
    requireLoopThread("RunLoop::runUntil() called off the loop's thread");
    const auto deadline = clock_->now() + timeout;
    for (;;) {
        if (done()) return true;
        runOnce();
        if (done()) return true;
        if (stopRequested_.exchange(false)) return done();
        const auto now = clock_->now();
        if (now >= deadline) return false;
        if (hasQueuedWork()) continue;
        const auto next = nextFireTime();
        if (clock_->isManual()) {
            if (next && *next <= deadline) {
                clock_->advanceTo(*next);
            } else {
                wait(deadline - now); // real time: waiting for other threads, not for timers
                if (!hasQueuedWork()) clock_->advanceTo(deadline);
            }
        } else {
            wait((next ? std::min(*next, deadline) : deadline) - now);
        }
    }
}

void RunLoop::stop() {
    stopRequested_.store(true);
    wake();
}

void RunLoop::setClock(std::shared_ptr<Clock> clock) {
    clock_ = clock ? std::move(clock) : std::make_shared<SteadyClock>();
}

void RunLoop::setWaitHooks(WaitHook wait, WakeHook wake) {
    std::lock_guard lock(mutex_);
    waitHook_ = std::move(wait);
    wakeHook_ = wake ? std::make_shared<WakeHook>(std::move(wake)) : nullptr;
}

void RunLoop::addPolledSource(Work poll) {
    std::lock_guard lock(mutex_);
    sources_.push_back(std::move(poll));
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer) {
    std::lock_guard lock(mutex_);
    timer->fireTime_ = clock_->now() + timer->period_;
    timer->sequence_ = timerSequence_++;
    timers_.push_back(timer);
}

void RunLoop::removeTimer(const Timer* timer) {
    std::shared_ptr<Timer::Block> block;
    std::shared_ptr<Timer> keep;
    {
        std::lock_guard lock(mutex_);
        block = std::move(const_cast<Timer*>(timer)->block_);
        auto it = std::find_if(timers_.begin(), timers_.end(),
                               [timer](const auto& t) { return t.get() == timer; });
        if (it != timers_.end()) {
            keep = std::move(*it);
            timers_.erase(it);
        }
    }
    // `block` and `keep` are released here, outside the lock: the block's captures may own
    // other timers whose invalidation takes the lock again.
}

std::size_t drainMainQueue() {
    return RunLoop::main().drainQueue();
}

// Timer

namespace {

Clock::duration periodOf(double seconds) {
    constexpr double kLongest = 1e9; // about 32 years; keeps the conversion in range
    seconds = std::min(seconds, kLongest);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double clampInterval(double seconds) {
    return (std::isnan(seconds) || seconds <= 0.0) ? Timer::kMinimumInterval : seconds;
}

} // namespace

Timer::Timer(Private, const std::shared_ptr<RunLoop>& loop, double interval, bool repeats,
             Block block)
    : loop_(loop), interval_(clampInterval(interval)),
      period_(std::max(periodOf(interval_), Clock::duration(1))), repeats_(repeats),
      block_(std::make_shared<Block>(std::move(block))) {}

std::shared_ptr<Timer> Timer::scheduledTimer(double withTimeInterval, bool repeats, Block block) {
    const auto& loop = RunLoop::currentShared();
    auto timer =
        std::make_shared<Timer>(Private{}, loop, withTimeInterval, repeats, std::move(block));
    loop->addTimer(timer);
    return timer;
}

void Timer::invalidate() {
    if (!valid_.exchange(false)) return;
    if (auto loop = loop_.lock()) loop->removeTimer(this);
}

} // namespace pf
