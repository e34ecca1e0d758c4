#pragma once
// A real-time-safe log: fixed slots allocated up front, filled by any number of producers
// without allocating or locking (a bounded multi-producer ring), printed in order on the main
// thread. When the ring is full, the new line is dropped and counted.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace pf {

class RunLoop;

class LogRing {
public:
    // Bytes of text a slot holds; longer lines are cut to this length.
    static constexpr std::size_t kSlotBytes = 256;
    static constexpr std::size_t kDefaultSlots = 1024;

    // [main-thread] A ring of `slots` slots (rounded up to a power of two). With `drainOn`, every
    // post wakes that run loop, which prints the queued lines on the console on its next pass;
    // such a ring must live as long as the loop (the shared ring does).
    explicit LogRing(std::size_t slots = kDefaultSlots, RunLoop* drainOn = nullptr);
    ~LogRing();
    LogRing(const LogRing&) = delete;
    LogRing& operator=(const LogRing&) = delete;

    // [any-thread] The process's ring, drained on the main run loop. Made when the platform layer
    // loads, so the first call from the render thread allocates nothing.
    static LogRing& shared() noexcept;

    // [render-thread][any-thread] Queues one line (without its line feed). Never allocates, never
    // locks; false when the ring is full (the line is dropped and counted).
    bool tryPost(std::string_view line) noexcept;
    // [render-thread][any-thread] printf-style tryPost. The text is formatted straight into the
    // slot; formats that glibc formats without allocating only (no %ls, no huge precisions).
    bool tryPostf(const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));

    // [any-thread] Lines dropped because the ring was full, since construction.
    std::uint64_t droppedCount() const noexcept { return dropped_.load(std::memory_order_relaxed); }

    // [single consumer] Hands every queued line, in order, to `sink`; returns how many.
    std::size_t drain(const std::function<void(std::string_view)>& sink);
    // [single consumer] drain() onto Console::printLine; reports new drops on standard error.
    std::size_t drainToConsole();

private:
    struct Slot;
    Slot* claim() noexcept;
    void publish(Slot* slot) noexcept;

    std::unique_ptr<Slot[]> slots_;
    std::size_t mask_;
    alignas(64) std::atomic<std::size_t> head_{0}; // producers
    alignas(64) std::size_t tail_ = 0;             // the consumer
    alignas(64) std::atomic<std::uint64_t> dropped_{0};
    std::uint64_t reportedDrops_ = 0;
    RunLoop* drainOn_;
};

} // namespace pf
