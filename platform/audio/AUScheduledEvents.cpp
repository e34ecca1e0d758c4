#include "audio/AUScheduledEvents.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace pf {

namespace {

constexpr std::size_t kRingMask = AUScheduledEventQueue::kRingCapacity - 1;
static_assert((AUScheduledEventQueue::kRingCapacity & kRingMask) == 0, "a power of two");

// Times from AUEventSampleTimeImmediate up to this bound are offsets into the next cycle.
constexpr AUEventSampleTime kImmediateEnd =
    AUEventSampleTimeImmediate + (AUEventSampleTime{1} << 31);

// Marks a push as under way for as long as it lives.
class PushUnderWay {
public:
    explicit PushUnderWay(std::atomic<std::size_t>& pushing) noexcept : pushing_(pushing) {
        pushing_.fetch_add(1, std::memory_order_seq_cst);
    }
    ~PushUnderWay() { pushing_.fetch_sub(1, std::memory_order_release); }
    PushUnderWay(const PushUnderWay&) = delete;
    PushUnderWay& operator=(const PushUnderWay&) = delete;

private:
    std::atomic<std::size_t>& pushing_;
};

} // namespace

bool AUScheduledEventQueue::push(const AURenderEvent& event) noexcept {
    // A push into a closed queue ends here, unannounced, so pushes that keep coming cannot hold
    // `close` up.
    if (!accepting_.load(std::memory_order_acquire)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    // Announced before `accepting_` is read again, and `close` reads the announcement after
    // clearing it (both sequentially consistent): either `close` waits for this push, or the
    // push sees the queue closed.
    const PushUnderWay underWay(pushing_);
    if (!accepting_.load(std::memory_order_seq_cst)) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    std::size_t position = enqueuePosition_.load(std::memory_order_relaxed);
    Slot* slot = nullptr;
    for (;;) {
        slot = &ring_[position & kRingMask];
        const std::size_t sequence = slot->sequence.load(std::memory_order_acquire);
        const auto difference =
            static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(position);
        if (difference == 0) {
            if (enqueuePosition_.compare_exchange_weak(position, position + 1,
                                                       std::memory_order_relaxed)) {
                break;
            }
        } else if (difference < 0) {
            refused_.fetch_add(1, std::memory_order_relaxed);
            return false;
        } else {
            position = enqueuePosition_.load(std::memory_order_relaxed);
        }
    }
    slot->event = event;
    slot->event.head.next = nullptr;
    slot->sequence.store(position + 1, std::memory_order_release);
    return true;
}

bool AUScheduledEventQueue::pop(AURenderEvent& event) noexcept {
    Slot& slot = ring_[dequeuePosition_ & kRingMask];
    if (slot.sequence.load(std::memory_order_acquire) != dequeuePosition_ + 1) return false;
    event = slot.event;
    slot.sequence.store(dequeuePosition_ + kRingCapacity, std::memory_order_release);
    ++dequeuePosition_;
    return true;
}

void AUScheduledEventQueue::dropAll() noexcept {
    if (!ring_) return;
    AURenderEvent event;
    std::uint64_t dropped = waitingCount_;
    while (pop(event))
        ++dropped;
    waitingBegin_ = 0;
    waitingCount_ = 0;
    dueCount_ = 0;
    dropped_.fetch_add(dropped, std::memory_order_relaxed);
}

void AUScheduledEventQueue::open() {
    if (!ring_) {
        ring_ = std::make_unique<Slot[]>(kRingCapacity);
        for (std::size_t i = 0; i < kRingCapacity; ++i)
            ring_[i].sequence.store(i, std::memory_order_relaxed);
        lists_ = std::make_unique<Waiting[]>(2 * kListCapacity + kRingCapacity);
        waiting_ = lists_.get();
        merged_ = waiting_ + kListCapacity;
        arrived_ = merged_ + kListCapacity;
    }
    close();
    accepting_.store(true, std::memory_order_seq_cst);
}

void AUScheduledEventQueue::close() noexcept {
    accepting_.store(false, std::memory_order_seq_cst);
    // Every push that saw the queue open has claimed and written its slot once this ends, so
    // nothing it queued is left behind, nor is a slot still being written when the ring is read.
    while (pushing_.load(std::memory_order_seq_cst) != 0)
        std::this_thread::yield();
    dropAll();
}

std::size_t AUScheduledEventQueue::takeArrivals(AUEventSampleTime start) noexcept {
    // At most one ring's worth: producers that keep pushing cannot hold the cycle.
    std::size_t count = 0;
    while (count < kRingCapacity && pop(arrived_[count].event)) {
        Waiting& arrived = arrived_[count++];
        AUEventSampleTime time = arrived.event.head.eventSampleTime;
        if (time >= AUEventSampleTimeImmediate && time < kImmediateEnd) {
            time = start + (time - AUEventSampleTimeImmediate);
        }
        arrived.event.head.eventSampleTime = time;
        arrived.time = time;
        arrived.arrival = arrivals_++;
    }
    return count;
}

void AUScheduledEventQueue::mergeArrivals(std::size_t count, AUEventSampleTime end) noexcept {
    // Arrival numbers are unique, so this order is the stable one.
    const auto earlier = [](const Waiting& a, const Waiting& b) noexcept {
        return a.time != b.time ? a.time < b.time : a.arrival < b.arrival;
    };
    std::sort(arrived_, arrived_ + count, earlier);
    const Waiting* waiting = waiting_ + waitingBegin_;
    const Waiting* const waitingEnd = waiting + waitingCount_;
    const Waiting* arrived = arrived_;
    const Waiting* const arrivedEnd = arrived_ + count;
    std::size_t kept = 0, due = 0;
    while (waiting != waitingEnd || arrived != arrivedEnd) {
        const bool takeArrived =
            arrived != arrivedEnd && (waiting == waitingEnd || earlier(*arrived, *waiting));
        const Waiting& next = takeArrived ? *arrived : *waiting;
        // Every event due in the cycle is kept; of the later ones, the earliest that fit.
        if (next.time >= end && kept - due == kWaitingCapacity) break;
        if (next.time < end) ++due;
        merged_[kept++] = next;
        (takeArrived ? arrived : waiting)++;
    }
    const auto refused =
        static_cast<std::uint64_t>((waitingEnd - waiting) + (arrivedEnd - arrived));
    if (refused > 0) refused_.fetch_add(refused, std::memory_order_relaxed);
    std::swap(waiting_, merged_);
    waitingBegin_ = 0;
    waitingCount_ = kept;
}

const AURenderEvent* AUScheduledEventQueue::beginCycle(AUEventSampleTime start,
                                                       AUAudioFrameCount frames) noexcept {
    dueCount_ = 0;
    if (!ring_ || frames == 0) return nullptr;
    const AUEventSampleTime end = start + static_cast<AUEventSampleTime>(frames);
    if (const std::size_t count = takeArrivals(start); count > 0) mergeArrivals(count, end);
    Waiting* const first = waiting_ + waitingBegin_;
    while (dueCount_ < waitingCount_ && first[dueCount_].time < end)
        ++dueCount_;
    if (dueCount_ == 0) return nullptr;
    for (std::size_t i = 0; i < dueCount_; ++i) {
        first[i].event.head.next = i + 1 < dueCount_ ? &first[i + 1].event : nullptr;
    }
    delivered_.fetch_add(dueCount_, std::memory_order_relaxed);
    return &first[0].event;
}

void AUScheduledEventQueue::endCycle() noexcept {
    waitingBegin_ += dueCount_;
    waitingCount_ -= dueCount_;
    dueCount_ = 0;
}

AUScheduledEventCounts AUScheduledEventQueue::counts() const noexcept {
    return {delivered_.load(std::memory_order_relaxed), refused_.load(std::memory_order_relaxed),
            dropped_.load(std::memory_order_relaxed)};
}

} // namespace pf
