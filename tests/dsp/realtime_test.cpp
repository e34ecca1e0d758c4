// The render path under real-time rules: no allocation once resources are allocated, and no
// subnormal state after long silence. This binary counts the allocations of every thread through
// replaced global allocation functions, the C allocator's included outside sanitizer builds.
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "audio/ScopedFlushDenormals.h"
#include "support/Buffers.h"
#include "support/Host.h"

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

    {
        testsupport::AllocationCount probe(testsupport::CountedThreads::All); // the counter works
        ::operator delete(::operator new(16)); // a direct call: never elided
        ASSERT_GE(probe.count(), 1);
    }

    testsupport::AllocationCount count(testsupport::CountedThreads::All);
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
    EXPECT_EQ(count.count(), 0);
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

        auto& kernel = adapter->kernel();
        std::vector<double> state;
        for (const auto* filter : {&kernel.splitB.lpf[0], &kernel.splitB.lpf[1],
                                   &kernel.splitB.hpf[0], &kernel.splitB.hpf[1]})
            state.insert(state.end(),
                         {filter->b1, filter->r1, filter->b2, filter->r2, filter->b3, filter->r3});
        for (int c = 0; c < 2; ++c) {
            state.insert(state.end(), {kernel.compander.inputFollower[c].currentPeak,
                                       kernel.compander.outputFollower[c].currentPeak});
            state.insert(state.end(), kernel.splitB.bufferLP[c], kernel.splitB.bufferLP[c] + 512);
            state.insert(state.end(), kernel.splitB.bufferBP[c], kernel.splitB.bufferBP[c] + 512);
        }
        for (std::size_t i = 0; i < state.size(); ++i)
            ASSERT_FALSE(state[i] != 0.0 && std::fabs(state[i]) < FLT_MIN) // subnormal as a float
                << "split branch " << splitBranch << ", value " << i;
    }
}
