// ScopedFlushDenormals: for its lifetime, the calling thread's floating-point unit flushes
// subnormal results to zero and treats subnormal inputs as zero; the previous mode comes back when
// it goes. Put one around a render call so that decaying filter states cannot fall into the slow
// subnormal range.
//
// [render-thread] (any thread); no allocation, no lock. Values outside the subnormal range are
// computed exactly as without the guard.
#pragma once

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace pf {

class ScopedFlushDenormals {
public:
    ScopedFlushDenormals() noexcept : saved_(read()) { write(saved_ | kFlushBits); }
    ~ScopedFlushDenormals() { write(saved_); }
    ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
    ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;

    // The raw control word, for tests that check the mode is restored.
    static std::uint64_t controlWord() noexcept { return read(); }
    // True while subnormal results are flushed on this thread.
    static bool isFlushing() noexcept { return (read() & kFlushBits) == kFlushBits; }

private:
#if defined(__x86_64__) || defined(__i386__)
    static constexpr std::uint64_t kFlushBits = 0x8040; // MXCSR flush-to-zero | denormals-are-zero
    static std::uint64_t read() noexcept {
        return _mm_getcsr();
    }
    static void write(std::uint64_t word) noexcept {
        _mm_setcsr(static_cast<unsigned>(word));
    }
#elif defined(__aarch64__)
    static constexpr std::uint64_t kFlushBits = std::uint64_t{1} << 24; // FPCR.FZ
    static std::uint64_t read() noexcept {
        std::uint64_t word;
        asm volatile("mrs %0, fpcr" : "=r"(word));
        return word;
    }
    static void write(std::uint64_t word) noexcept {
        asm volatile("msr fpcr, %0" : : "r"(word));
    }
#else
    static constexpr std::uint64_t kFlushBits = 0;
    static std::uint64_t read() noexcept {
        return 0;
    }
    static void write(std::uint64_t) noexcept {}
#endif

    std::uint64_t saved_;
};

} // namespace pf
