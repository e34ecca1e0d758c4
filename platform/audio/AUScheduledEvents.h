// The events hosts schedule for an audio unit, on their way to its render thread.
//
// Producers on any thread push parameter and MIDI events into a bounded lock-free ring (one slot
// per event, a sequence number per slot, so several producers may push at once without a lock).
// The render thread, the one consumer, takes what arrived at the start of each cycle (at most one
// ring's worth) into its own list, kept sorted by sample time and, at one time, by the order the
// events arrived in; the events due in the cycle leave that list as the cycle's event list, in
// that order. Only a cycle that renders frames takes or hands over events: a cycle of 0 frames
// leaves everything where it is.
//
// Events due in the cycle are always handed over. Up to kWaitingCapacity events wait for later
// cycles; when more would, those earliest in time are kept and the rest refused (the latest; at
// one time, the last to arrive). So an event due soon is never kept out by events waiting for
// later cycles.
//
// Every event pushed ends counted once: delivered, refused or dropped. Nothing is accepted before
// `open` or after `close`: such events are dropped. A full ring refuses the event. `close` lets
// the pushes already under way finish (each is a few instructions) before it drops what is queued,
// so an event is never left behind in a closed queue. The ring and the lists are made by the
// first `open` and kept until the queue goes, so a producer never sees them move.
//
// Sample times: those of the time stamps the unit renders with. A time from
// `AUEventSampleTimeImmediate` up to 2^31 frames after it means that many frames after the start
// of the first cycle that takes the event.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/AURenderEvent.h"

namespace pf {

// What became of the events scheduled for a unit.
struct AUScheduledEventCounts {
    std::uint64_t delivered = 0; // handed to the unit's render block in their cycle
    std::uint64_t refused = 0;   // the queue was full, or the event malformed
    std::uint64_t dropped = 0;   // scheduled while the unit had no render resources
};

class AUScheduledEventQueue {
public:
    // Room for events on their way (the ring) and for events waiting for a later cycle.
    static constexpr std::size_t kRingCapacity = 1024;
    static constexpr std::size_t kWaitingCapacity = 1024;

    AUScheduledEventQueue() = default;
    AUScheduledEventQueue(const AUScheduledEventQueue&) = delete;
    AUScheduledEventQueue& operator=(const AUScheduledEventQueue&) = delete;

    // [any-thread] Queues a copy of `event` (its `next` is ignored). False, and counted, when the
    // queue is closed or full. Never allocates, locks or blocks.
    bool push(const AURenderEvent& event) noexcept;
    // [any-thread] Counts an event refused before it reached the queue.
    void countRefused() noexcept { refused_.fetch_add(1, std::memory_order_relaxed); }

    // [host thread, never during a cycle] Drops whatever is queued or waiting, then accepts
    // events. The first call allocates.
    void open();
    // [host thread, never during a cycle] Stops accepting, waits for the pushes under way, and
    // drops whatever is queued or waiting.
    void close() noexcept;

    // [render-thread] The events due in the cycle of `frames` frames from sample time `start`,
    // linked in time order (null when none, and always for 0 frames). Valid until `endCycle`.
    const AURenderEvent* beginCycle(AUEventSampleTime start, AUAudioFrameCount frames) noexcept;
    // [render-thread] Forgets the events the cycle was given.
    void endCycle() noexcept;

    // [any-thread]
    AUScheduledEventCounts counts() const noexcept;

private:
    struct Slot {
        std::atomic<std::size_t> sequence{0};
        AURenderEvent event;
    };
    struct Waiting {
        AUEventSampleTime time = 0;
        std::uint64_t arrival = 0; // keeps events of one time in the order they came
        AURenderEvent event;
    };

    bool pop(AURenderEvent& event) noexcept;
    // The waiting events, with those of one cycle's arrivals that are due in it.
    static constexpr std::size_t kListCapacity = kWaitingCapacity + kRingCapacity;

    std::size_t takeArrivals(AUEventSampleTime start) noexcept;
    void mergeArrivals(std::size_t count, AUEventSampleTime end) noexcept;
    void dropAll() noexcept;

    std::unique_ptr<Slot[]> ring_;
    // Three lists: the waiting events (sorted), room to merge arrivals into them, and the events
    // that arrived this cycle; the render thread swaps the first two instead of moving events.
    std::unique_ptr<Waiting[]> lists_;
    Waiting* waiting_ = nullptr;
    Waiting* arrived_ = nullptr;
    Waiting* merged_ = nullptr;
    std::atomic<bool> accepting_{false};
    std::atomic<std::size_t> pushing_{0}; // pushes under way
    alignas(64) std::atomic<std::size_t> enqueuePosition_{0};
    alignas(64) std::size_t dequeuePosition_ = 0;
    std::size_t waitingBegin_ = 0; // the waiting events are waiting_[begin, begin + count)
    std::size_t waitingCount_ = 0;
    std::size_t dueCount_ = 0;
    std::uint64_t arrivals_ = 0;
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> refused_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

} // namespace pf
