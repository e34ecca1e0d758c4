// Relaxed<T>: a single value shared between the render thread and other threads.
//
// Parameter slots, flags, gain factors and follower peaks are written whole by one thread and
// read whole by others; a reader may see the previous value, and no ordering with other values is
// promised. A relaxed, lock-free atomic says exactly that, and costs a plain load or store.
// Only load and store are offered, so a read-modify-write can never hide in an expression.
#pragma once

#include <atomic>

template <class T> class Relaxed {
    static_assert(std::atomic<T>::is_always_lock_free, "shared with the render thread");

public:
    constexpr Relaxed(T value = T{}) noexcept : value_(value) {}
    Relaxed(const Relaxed&) = delete;
    Relaxed& operator=(const Relaxed&) = delete;

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }

    operator T() const noexcept { return load(); }
    Relaxed& operator=(T value) noexcept {
        store(value);
        return *this;
    }

private:
    std::atomic<T> value_;
};
