// The render path under real-time rules: no allocation once resources are allocated, and no
// subnormal state after long silence. This binary counts every allocation through replaced
// global allocation functions.
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "audio/ScopedFlushDenormals.h"
#include "support/Buffers.h"
#include "support/Host.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void noteAllocation() noexcept {
    if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}
} // namespace

// Replaced allocation functions: every operator new form ends in these two. They pair malloc with
// free by design, which GCC's mismatch warning cannot see.
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
// The C allocator too (snprintf, stdio), outside sanitizer builds, which own malloc themselves.
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

using testsupport::ChannelBuffers;
using testsupport::SignalSource;

namespace {

// Stands in for the platform's log ring: fixed slots, no allocation.
char loggedLines[64][160];
std::atomic<int> loggedCount{0};
void ringSink(const char* line, DSPLogOrigin) noexcept {
    const int slot = loggedCount.fetch_add(1) % 64;
    std::snprintf(loggedLines[slot], sizeof loggedLines[slot], "%s", line);
}

} // namespace

TEST(RenderPath, TenThousandCyclesAllocateNothingOnceResourcesAreAllocated) {
    setDSPLogSink(&ringSink);
    auto adapter = testsupport::makeAllocatedAdapter(512);
    adapter->setParameter(3, 0.9f);
    SignalSource source(testsignals::musicLike(48000));
    const pf::AURenderPullInputBlock pull = source.pullBlock();
    const pf::AUMIDIOutputEventBlock midiOut = [](pf::AUEventSampleTime, std::uint8_t,
                                                  pf::NSInteger,
                                                  const std::uint8_t*) { return pf::noErr; };
    testsupport::EventList events;
    events.parameter(100, 2, 0.7f);
    events.parameter(300, 5, 0.9f, pf::AURenderEventParameterRamp);
    events.midi(400, 0x90, 60, 100);
    const pf::AURenderEvent* head = events.link();
    std::vector<pf::AUAudioUnitStatus> statuses(10000, -1);
    ChannelBuffers own(2, 512);
    pf::AudioBufferList inPlace;
    pf::AudioTimeStamp timestamp;
    pf::AudioUnitRenderActionFlags flags = 0;
    adapter->setAUMIDIOutputEventBlock(midiOut);

    counting = true;                       // the counter itself works
    ::operator delete(::operator new(16)); // a direct call: never elided
    counting = false;
    ASSERT_GE(allocations.exchange(0), 1);
    const long before = allocations.load();

    counting = true;
    for (int cycle = 0; cycle < 10000; ++cycle) {
        timestamp.mSampleTime = 0.0; // events at fixed offsets within every cycle
        adapter->setAUMIDIOutputEventBlock(midiOut);
        pf::AudioBufferList* out = &own.list;
        if (cycle % 2 == 0) {
            inPlace = testsupport::nullBufferList(2);
            out = &inPlace;
        }
        statuses[cycle] = adapter->render(&flags, &timestamp, cycle % 3 == 0 ? 64 : 512, 0, out,
                                          cycle % 5 == 0 ? nullptr : head, pull);
    }
    counting = false;

    EXPECT_EQ(allocations.load() - before, 0);
    for (int cycle = 0; cycle < 10000; ++cycle)
        ASSERT_EQ(statuses[cycle], pf::noErr) << cycle;
    EXPECT_GT(loggedCount.load(), 0);
    setDSPLogSink(nullptr);
}

TEST(RenderPath, NoSubnormalStateAfterALoudBurstAndTenSecondsOfSilence) {
    for (bool splitBranch : {false, true}) {
        auto adapter = testsupport::makeAllocatedAdapter(512);
        if (splitBranch) adapter->setParameter(9, 0.2f); // the band splitter's filters run
        SignalSource source(testsignals::loudThenSilence(48000 * 11, 48000));
        const pf::AURenderPullInputBlock pull = source.pullBlock();
        pf::AudioTimeStamp timestamp;
        pf::AudioUnitRenderActionFlags flags = 0;
        ASSERT_FALSE(pf::ScopedFlushDenormals::isFlushing());
        for (int cycle = 0; cycle < 48000 * 11 / 512; ++cycle) {
            pf::AudioBufferList inPlace = testsupport::nullBufferList(2);
            ASSERT_EQ(adapter->render(&flags, &timestamp, 512, 0, &inPlace, nullptr, pull),
                      pf::noErr);
        }
        EXPECT_FALSE(pf::ScopedFlushDenormals::isFlushing()) << "the previous mode is back";

        auto subnormal = [](double x) { return std::fpclassify(x) == FP_SUBNORMAL; };
        auto subnormalF = [](float x) { return std::fpclassify(x) == FP_SUBNORMAL; };
        auto& kernel = adapter->kernel();
        for (const auto* filter : {&kernel.splitB.lpf[0], &kernel.splitB.lpf[1],
                                   &kernel.splitB.hpf[0], &kernel.splitB.hpf[1]}) {
            for (float state :
                 {filter->b1, filter->r1, filter->b2, filter->r2, filter->b3, filter->r3}) {
                EXPECT_FALSE(subnormalF(state)) << "split branch " << splitBranch;
            }
        }
        for (const auto& f : kernel.compander.inputFollower)
            EXPECT_FALSE(subnormal(f.currentPeak));
        for (const auto& f : kernel.compander.outputFollower)
            EXPECT_FALSE(subnormal(f.currentPeak));
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < 512; ++i) {
                ASSERT_FALSE(subnormalF(kernel.splitB.bufferLP[c][i]));
                ASSERT_FALSE(subnormalF(kernel.splitB.bufferBP[c][i]));
            }
        }
    }
}
