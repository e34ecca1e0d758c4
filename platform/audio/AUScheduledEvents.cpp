#include "audio/AUScheduledEvents.h"

#include <algorithm>

namespace pf {

namespace {

constexpr std::size_t kRingMask = AUScheduledEventQueue::kRingCapacity - 1;
static_assert((AUScheduledEventQueue::kRingCapacity & kRingMask) == 0, "a power of two");

// Times from AUEventSampleTimeImmediate up to this bound are offsets into the next cycle.
constexpr AUEventSampleTime kImmediateEnd =
    AUEventSampleTimeImmediate + (AUEventSampleTime{1} << 31);

} // namespace

bool AUScheduledEventQueue::push(const AURenderEvent& event) noexcept {
    if (!accepting_.load(std::memory_order_acquire)) {
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
    waitingCount_ = 0;
    dueCount_ = 0;
    dropped_.fetch_add(dropped, std::memory_order_relaxed);
}

void AUScheduledEventQueue::open() {
    if (!ring_) {
        ring_ = std::make_unique<Slot[]>(kRingCapacity);
        for (std::size_t i = 0; i < kRingCapacity; ++i)
            ring_[i].sequence.store(i, std::memory_order_relaxed);
        waiting_ = std::make_unique<Waiting[]>(kWaitingCapacity);
    }
    dropAll();
    accepting_.store(true, std::memory_order_release);
}

void AUScheduledEventQueue::close() noexcept {
    accepting_.store(false, std::memory_order_release);
    dropAll();
}

const AURenderEvent* AUScheduledEventQueue::beginCycle(AUEventSampleTime start,
                                                       AUAudioFrameCount frames) noexcept {
    dueCount_ = 0;
    if (!ring_) return nullptr;
    bool arrived = false;
    AURenderEvent event;
    while (waitingCount_ < kWaitingCapacity && pop(event)) {
        AUEventSampleTime time = event.head.eventSampleTime;
        if (time >= AUEventSampleTimeImmediate && time < kImmediateEnd) {
            time = start + (time - AUEventSampleTimeImmediate);
        }
        event.head.eventSampleTime = time;
        waiting_[waitingCount_++] = Waiting{time, arrivals_++, event};
        arrived = true;
    }
    Waiting* const first = waiting_.get();
    if (arrived) {
        // Arrival numbers are unique, so this order is the stable one.
        std::sort(first, first + waitingCount_, [](const Waiting& a, const Waiting& b) {
            return a.time != b.time ? a.time < b.time : a.arrival < b.arrival;
        });
    }
    const AUEventSampleTime end = start + static_cast<AUEventSampleTime>(frames);
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
    if (dueCount_ == 0) return;
    Waiting* const first = waiting_.get();
    std::move(first + dueCount_, first + waitingCount_, first);
    waitingCount_ -= dueCount_;
    dueCount_ = 0;
}

AUScheduledEventCounts AUScheduledEventQueue::counts() const noexcept {
    return {delivered_.load(std::memory_order_relaxed), refused_.load(std::memory_order_relaxed),
            dropped_.load(std::memory_order_relaxed)};
}

} // namespace pf
