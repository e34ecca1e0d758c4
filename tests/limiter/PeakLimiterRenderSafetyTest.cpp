// The render path allocates nothing, and parameters may change from another thread while it runs.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "AllocationCounter.h"
#include "LimiterSignals.h"

using namespace limiter_test;

TEST(PeakLimiterRenderSafety, ProcessResetAndParameterChangesAllocateNothing) {
    Stereo buffer = hotMusic(48000.0, 48000);
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
    }
    EXPECT_EQ(count.count(), 0);
}

TEST(PeakLimiterRenderSafety, ParametersSetFromAnotherThreadWhileRenderingKeepTheCeiling) {
    const Stereo music = hotMusic(44100.0, 256 * 172);
    auto limiter = preparedLimiter(44100.0, {}, 256);
    std::atomic<bool> done{false};
    std::thread automation([&] {
        for (int i = 0; i < 200000 && !done.load(); ++i) { // bounded
            limiter->setAttackTime(0.001f * static_cast<float>(i % 40));
            limiter->setDecayTime(0.002f * static_cast<float>(i % 35));
            limiter->setPreGain(static_cast<float>(i % 60) - 20.0f);
        }
    });
    float worst = 0.0f;
    for (int pass = 0; pass < 4; ++pass) {
        Stereo buffer = music;
        for (std::size_t begin = 0; begin + 256 <= buffer.frames(); begin += 256) {
            float* io[2] = {buffer.left.data() + begin, buffer.right.data() + begin};
            limiter->process(io, io, 2, 256);
        }
        worst = std::max(worst, peakOf(buffer));
    }
    done.store(true);
    automation.join();
    EXPECT_LE(worst, 1.0f);
}
