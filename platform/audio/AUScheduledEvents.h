// The events hosts schedule for an audio unit, on their way to its render thread.
//
// Producers on any thread push parameter and MIDI events into a bounded lock-free ring (one slot
// per event, a sequence number per slot, so several producers may push at once without a lock).
// The render thread, the one consumer, moves them per cycle into its own waiting list, sorted by
// sample time and, at one time, by the order they arrived in; the events due in the cycle leave
// that list as the cycle's event list. Later events wait for their cycle.
//
// Nothing is accepted before `open` or after `close`: such events are dropped and counted. A full
// ring refuses the event and counts it. The ring and the waiting list are made by the first
// `open` and kept until the queue goes, so a producer never sees them move.
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
    // [host thread, never during a cycle] Stops accepting and drops whatever is queued or waiting.
    void close() noexcept;

    // [render-thread] The events due in the cycle of `frames` frames from sample time `start`,
    // linked in time order (null when none). Valid until `endCycle`.
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
    void dropAll() noexcept;

    std::unique_ptr<Slot[]> ring_;
    std::unique_ptr<Waiting[]> waiting_;
    std::atomic<bool> accepting_{false};
    alignas(64) std::atomic<std::size_t> enqueuePosition_{0};
    alignas(64) std::size_t dequeuePosition_ = 0;
    std::size_t waitingCount_ = 0;
    std::size_t dueCount_ = 0;
    std::uint64_t arrivals_ = 0;
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<std::uint64_t> refused_{0};
    std::atomic<std::uint64_t> dropped_{0};
};

} // namespace pf
