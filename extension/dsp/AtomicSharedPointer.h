// AtomicSharedPointer<T>: a shared pointer that one thread may replace while another takes a
// reference to it, as the host's MIDI output block is replaced while the render thread reads it.
//
// A one-bit spin lock guards the pointer for a reference-count increment or a swap, never across
// a call, an allocation or a release (the replaced object is released after unlocking, on the
// storing thread). `holds` compares without taking a reference, so a holder that re-sends the
// same pointer every cycle can compare before storing and never writes in the steady state.
// (std::atomic<std::shared_ptr> does the same in libstdc++ 12, but unlocks its loads with
// relaxed order, which the thread sanitizer reports as a race with the next store.)
#pragma once

#include <atomic>
#include <memory>
#include <utility>

template <class T> class AtomicSharedPointer {
public:
    AtomicSharedPointer() noexcept = default;
    AtomicSharedPointer(const AtomicSharedPointer&) = delete;
    AtomicSharedPointer& operator=(const AtomicSharedPointer&) = delete;

    // [any-thread] A reference to the current object (may be empty).
    std::shared_ptr<T> load() const noexcept {
        const Guard guard(busy_);
        return value_;
    }

    // [any-thread] Replaces the object; the previous one is released by this call's thread.
    void store(std::shared_ptr<T> value) noexcept {
        {
            const Guard guard(busy_);
            value_.swap(value);
        }
    }

    // [any-thread] Whether the current object is `value`'s (both empty counts).
    bool holds(const std::shared_ptr<T>& value) const noexcept {
        const Guard guard(busy_);
        return value_ == value;
    }

private:
    class Guard {
    public:
        explicit Guard(std::atomic_flag& busy) noexcept : busy_(busy) {
            while (busy_.test_and_set(std::memory_order_acquire))
                pause();
        }
        ~Guard() { busy_.clear(std::memory_order_release); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        static void pause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#elif defined(__aarch64__)
            asm volatile("yield");
#endif
        }
        std::atomic_flag& busy_;
    };

    mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::shared_ptr<T> value_;
};
