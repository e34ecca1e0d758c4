// The unit's render block under real-time rules: once resources are allocated, a cycle allocates
// nothing, whatever it meets (events, the limiter, failures and their log lines). This binary
// counts the allocations of the rendering thread through replaced allocation functions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <new>

#include "RenderHarness.h"
#include "UnitTestSupport.h"

namespace {
thread_local bool counting = false;
long allocations = 0; // only the counting thread adds

void noteAllocation() noexcept {
    if (counting) ++allocations;
}

// Counts the calling thread's allocations while it lives.
struct AllocationCount {
    AllocationCount() : start(allocations) { counting = true; }
    ~AllocationCount() { counting = false; }
    long count() const { return allocations - start; }
    long start;
};
} // namespace

// Every operator new form ends in these; they pair malloc with free by design.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    noteAllocation();
    if (void* p = std::malloc(size != 0 ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    noteAllocation();
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

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The C allocator too (formatting of log lines), outside sanitizer builds.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    noteAllocation();
    return __libc_realloc(p, size);
}
}
#endif

using namespace unittest;

TEST(UnitRealtime, RenderCyclesAllocateNothingOnceResourcesAreAllocated) {
    const auto unit = makeUnit();
    unit->setMIDIOutputEventBlock([](pf::AUEventSampleTime, std::uint8_t, pf::NSInteger,
                                     const std::uint8_t*) { return pf::noErr; });
    RenderHarness host(unit);
    std::vector<float> left(9000), right(9000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = 2.5f * std::sin(0.01f * static_cast<float>(i));
        right[i] = 1.5f * std::sin(0.013f * static_cast<float>(i));
    }
    host.setInput(left, right);
    host.allocate();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(host.scheduleParameter(i * 300 + 7, kCompanderRatio, 0.2f + 0.005f * i));
    }

    long cyclesRendered = 0;
    {
        AllocationCount count;
        for (const pf::AUAudioFrameCount frames : {64u, 512u, 4096u, 1u, 333u}) {
            for (int cycle = 0; cycle < 20; ++cycle) {
                ASSERT_EQ(host.renderCycle(frames), pf::noErr);
                ++cyclesRendered;
            }
        }
        // Failing cycles log through the real-time ring.
        EXPECT_EQ(host.renderCycle(4097), pf::kAudioUnitErr_TooManyFramesToProcess);
        EXPECT_EQ(host.renderCycle(64, 1), pf::kAudioUnitErr_NoConnection);
        EXPECT_EQ(count.count(), 0) << "allocations in " << cyclesRendered << " cycles";
    }
    for (std::uint32_t i = 0; i < 64; ++i)
        ASSERT_LE(std::fabs(host.left()[i]), 1.0f);
    pf::drainMainQueue();
}

TEST(UnitRealtime, KernelLinesOfRenderEventsArePrintedUnchangedFromTheMainQueue) {
    const auto unit = makeUnit();
    RenderHarness host(unit);
    host.allocate();
    pf::drainMainQueue();
    pf::ConsoleCapture capture;
    ASSERT_TRUE(host.scheduleParameter(3, kCompanderGain, 0.75f));
    ASSERT_EQ(host.renderCycle(64), pf::noErr);
    const std::string line = "unit received parameter : address:4, value:0.750000";
    EXPECT_EQ(countOf(capture.lines(), line), 0); // nothing printed on the render thread
    EXPECT_EQ(countOf(drainedLines(capture), line), 1);
}

TEST(UnitRealtime, TheCounterSeesAnAllocationOfTheCountingThread) {
    AllocationCount count;
    auto* volatile p = new int(7);
    delete p;
    EXPECT_GE(count.count(), 1); // operator new and, outside sanitizer builds, malloc under it
}
