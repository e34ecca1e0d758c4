// The counter and the replaced global operator new. The standard library's array and nothrow
// forms call these two, and its other operator delete forms call the plain one, so these are all
// a binary needs: every allocation ends in malloc or aligned_alloc, every release in free.
#include "AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The replacements pair malloc with free by design, which GCC's mismatch warning cannot see.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace testsupport {
namespace {

thread_local bool tCounting = false;
thread_local long tAllocations = 0;   // the allocations of this thread while it counts
std::atomic<int> gAllThreadCounts{0}; // live counts of every thread
std::atomic<long> gAllThreadAllocations{0};

} // namespace

void noteAllocation() noexcept {
    if (tCounting) ++tAllocations;
    if (gAllThreadCounts.load(std::memory_order_relaxed) > 0)
        gAllThreadAllocations.fetch_add(1, std::memory_order_relaxed);
}

AllocationCount::AllocationCount(CountedThreads threads) noexcept
    : threads_(threads), wasCounting_(tCounting) {
    if (threads_ == CountedThreads::All) {
        start_ = gAllThreadAllocations.load();
        gAllThreadCounts.fetch_add(1);
    } else {
        start_ = tAllocations;
        tCounting = true;
    }
}

AllocationCount::~AllocationCount() {
    if (threads_ == CountedThreads::All) {
        gAllThreadCounts.fetch_sub(1);
    } else {
        tCounting = wasCounting_;
    }
}

long AllocationCount::count() const noexcept {
    return threads_ == CountedThreads::All ? gAllThreadAllocations.load() - start_
                                           : tAllocations - start_;
}

} // namespace testsupport

void* operator new(std::size_t size) {
    testsupport::noteAllocation();
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    testsupport::noteAllocation();
    const auto align = static_cast<std::size_t>(alignment);
    if (void* p = std::aligned_alloc(align, (size + align - 1) / align * align)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    std::free(p);
}
