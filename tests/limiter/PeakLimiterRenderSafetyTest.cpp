// Parameters changing between blocks: the render path allocates nothing, the ceiling holds and
// bypassed blocks pass the input through.
#include <cmath>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "LimiterSignals.h"

using namespace limiter_test;

TEST(PeakLimiterRenderSafety,
     ParameterChangesAndBypassBetweenBlocksAllocateNothingAndKeepTheCeiling) {
    const Stereo input = hotMusic(48000.0, 48000);
    Stereo buffer = input;
    auto limiter = preparedLimiter(48000.0, {}, 512);
    testsupport::AllocationCount count;
    for (std::size_t begin = 0, index = 0; begin + 512 <= buffer.frames(); begin += 512, ++index) {
        limiter->setDecayTime(index % 2 ? 0.06f : 0.001f); // resizes the hold window
        limiter->setAttackTime(index % 3 ? 0.03f : 0.001f);
        limiter->setPreGain(static_cast<float>(index % 7));
        limiter->setBypass(index % 5 == 0);
        if (index % 11 == 0) limiter->resetLookahead();
        float* io[2] = {buffer.left.data() + begin, buffer.right.data() + begin};
        limiter->process(io, io, 2, 512);
        for (std::size_t n = begin; n < begin + 512; ++n) {
            if (index % 5 == 0) { // bypassed: the input passes through untouched
                ASSERT_EQ(buffer.left[n], input.left[n]) << n;
                ASSERT_EQ(buffer.right[n], input.right[n]) << n;
            } else {
                ASSERT_LE(std::max(std::fabs(buffer.left[n]), std::fabs(buffer.right[n])), 1.0f)
                    << n;
            }
        }
    }
    EXPECT_EQ(count.count(), 0);
}
