#pragma once
// Replaces the global operator new of the test binary that includes this header (in exactly
// one source file) and counts the allocations of threads inside an AllocationCount.

#include <atomic>
#include <cstdlib>
#include <new>

namespace test {

inline thread_local bool tCountAllocations = false;
inline std::atomic<int> gAllocations{0};

// Counts the allocations the current thread makes while it lives.
class AllocationCount {
public:
    AllocationCount() : start_(gAllocations.load()) { tCountAllocations = true; }
    ~AllocationCount() { tCountAllocations = false; }
    AllocationCount(const AllocationCount&) = delete;
    AllocationCount& operator=(const AllocationCount&) = delete;
    int count() const { return gAllocations.load() - start_; }

private:
    int start_;
};

} // namespace test

void* operator new(std::size_t size) {
    if (test::tCountAllocations) ++test::gAllocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
