// The unit's render block under real-time rules: once resources are allocated, a cycle allocates
// nothing, whatever it meets (events, the limiter, failures and their log lines). This binary
// counts the allocations of the rendering thread through replaced allocation functions, the C
// allocator's included outside sanitizer builds.
#include <gtest/gtest.h>

#include <cmath>

#include "AllocationCounter.h"
#include "RenderHarness.h"
#include "UnitTestSupport.h"

using namespace unittest;
using testsupport::AllocationCount;

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
