#pragma once
// Counts heap allocations for the tests that check the render path allocates nothing.
//
// A test binary that links `orvex_test_allocations` has its global operator new replaced (every
// form: plain, array, aligned, nothrow) by one that counts while an AllocationCount is alive.
// Linking `orvex_test_c_allocations` as well counts the C allocator too (malloc, calloc, realloc:
// what snprintf and stdio use), except in sanitizer builds, whose runtime owns malloc; there only
// operator new is counted.
//
// Thread: an AllocationCount is made, read and destroyed on one thread. The counting itself is
// safe from any thread and allocates nothing.

namespace testsupport {

// Whose allocations an AllocationCount sees.
enum class CountedThreads {
    Calling, // only the thread that made the count
    All,     // every thread of the process
};

// Counts allocations while it lives.
class AllocationCount {
public:
    explicit AllocationCount(CountedThreads threads = CountedThreads::Calling) noexcept;
    ~AllocationCount();
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;

    // The allocations counted since this count began.
    long count() const noexcept;

private:
    CountedThreads threads_;
    bool wasCounting_; // the calling thread's state before, restored at the end
    long start_;
};

// Counts one allocation if a live count sees the calling thread. For the replaced allocators.
void noteAllocation() noexcept;

} // namespace testsupport
