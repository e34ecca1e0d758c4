#include "core/LogRing.h"

#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/Console.h"
#include "core/RenderThread.h"
#include "core/RunLoop.h"

namespace pf {

struct LogRing::Slot {
    // Vyukov's bounded queue: a slot is free for the producer of ticket t when sequence == t and
    // holds that producer's line for the consumer when sequence == t + 1.
    std::atomic<std::size_t> sequence{0};
    std::uint32_t length = 0;
    char text[kSlotBytes];
};

LogRing::LogRing(std::size_t slots, RunLoop* drainOn)
    : slots_(new Slot[std::bit_ceil(std::max<std::size_t>(slots, 2))]),
      mask_(std::bit_ceil(std::max<std::size_t>(slots, 2)) - 1), drainOn_(drainOn) {
    for (std::size_t i = 0; i <= mask_; ++i)
        slots_[i].sequence.store(i, std::memory_order_relaxed);
    if (drainOn_ != nullptr) drainOn_->addPolledSource([this] { drainToConsole(); });
}

LogRing::~LogRing() = default;

LogRing& LogRing::shared() noexcept {
    static LogRing* const ring = new LogRing(kDefaultSlots, &RunLoop::main());
    return *ring;
}

namespace {
// Build the shared ring while the layer loads, not on the render thread's first line.
[[maybe_unused]] const bool kSharedRingReady = (LogRing::shared(), true);
} // namespace

LogRing::Slot* LogRing::claim() noexcept {
    std::size_t ticket = head_.load(std::memory_order_relaxed);
    for (;;) {
        Slot& slot = slots_[ticket & mask_];
        const std::size_t sequence = slot.sequence.load(std::memory_order_acquire);
        const auto diff =
            static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(ticket);
        if (diff == 0) {
            if (head_.compare_exchange_weak(ticket, ticket + 1, std::memory_order_relaxed)) {
                return &slot;
            }
        } else if (diff < 0) {
            dropped_.fetch_add(1, std::memory_order_relaxed);
            return nullptr; // full
        } else {
            ticket = head_.load(std::memory_order_relaxed);
        }
    }
}

void LogRing::publish(Slot* slot) noexcept {
    const std::size_t ticket = slot->sequence.load(std::memory_order_relaxed);
    slot->sequence.store(ticket + 1, std::memory_order_release);
    if (drainOn_ != nullptr) drainOn_->signalFromRealtime();
}

bool LogRing::tryPost(std::string_view line) noexcept {
    Slot* slot = claim();
    if (slot == nullptr) return false;
    const std::size_t length = std::min(line.size(), kSlotBytes);
    std::memcpy(slot->text, line.data(), length);
    slot->length = static_cast<std::uint32_t>(length);
    publish(slot);
    return true;
}

bool LogRing::tryPostf(const char* format, ...) noexcept {
    Slot* slot = claim();
    if (slot == nullptr) return false;
    char buffer[kSlotBytes + 1];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    const std::size_t length =
        written < 0 ? 0 : std::min(static_cast<std::size_t>(written), kSlotBytes);
    std::memcpy(slot->text, buffer, length);
    slot->length = static_cast<std::uint32_t>(length);
    publish(slot);
    return true;
}

std::size_t LogRing::drain(const std::function<void(std::string_view)>& sink) {
    std::size_t count = 0;
    for (;;) {
        Slot& slot = slots_[tail_ & mask_];
        if (slot.sequence.load(std::memory_order_acquire) != tail_ + 1) return count;
        sink(std::string_view(slot.text, slot.length));
        slot.sequence.store(tail_ + mask_ + 1, std::memory_order_release);
        ++tail_;
        ++count;
    }
}

std::size_t LogRing::drainToConsole() {
    const std::size_t count = drain([](std::string_view line) { Console::printLine(line); });
    const std::uint64_t dropped = droppedCount();
    if (dropped != reportedDrops_) {
        std::fprintf(stderr, "pf: log ring full, %llu line(s) dropped\n",
                     static_cast<unsigned long long>(dropped - reportedDrops_));
        reportedDrops_ = dropped;
    }
    return count;
}

// The render-thread role.

namespace {
thread_local bool tIsRenderThread = false;
} // namespace

bool isRenderThread() noexcept {
    return tIsRenderThread;
}

RenderThreadScope::RenderThreadScope() noexcept : previous_(tIsRenderThread) {
    tIsRenderThread = true;
}

RenderThreadScope::~RenderThreadScope() {
    tIsRenderThread = previous_;
}

} // namespace pf
