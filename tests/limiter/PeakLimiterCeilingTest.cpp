// Non-finite input samples come out as zeros, and the ceiling holds around them.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

TEST(PeakLimiterCeiling, NonFiniteInputGivesZeroForThoseSamples) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const struct {
        std::size_t frame;
        bool right;
        float value;
    } bad[] = {{1000, false, std::numeric_limits<float>::quiet_NaN()},
               {1001, false, kInf},
               {5000, false, -kInf},
               {7000, true, std::numeric_limits<float>::quiet_NaN()},
               {7004, true, -kInf}};
    Stereo music = hotMusic(48000.0, 24000);
    for (const auto& b : bad)
        (b.right ? music.right : music.left)[b.frame] = b.value;
    auto limiter = preparedLimiter(48000.0);
    const std::size_t latency = limiter->latencySamples();
    const Stereo limited = run(*limiter, music, 512, /*inPlace=*/true);
    for (const auto& b : bad)
        EXPECT_EQ((b.right ? limited.right : limited.left)[b.frame + latency], 0.0f) << b.frame;
    for (std::size_t n = 0; n < limited.frames(); ++n) // a NaN fails too
        ASSERT_TRUE(std::fabs(limited.left[n]) <= 1.0f && std::fabs(limited.right[n]) <= 1.0f) << n;
}
