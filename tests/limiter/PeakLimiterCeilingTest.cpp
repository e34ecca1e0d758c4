// The limiter's one promise that must never break: no output sample above the ceiling, whatever
// comes in (overs of every shape, non-finite samples).
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

TEST(PeakLimiterCeiling, NonFiniteInputGivesZeroForThoseSamples) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    const double rate = 48000.0;
    const std::size_t frames = 48000, last = frames / 2;
    const std::size_t bad[] = {1000, 1001, 1002, 5000, 9000, last};
    const auto spoil = [&](Stereo& s) {
        for (std::size_t i = 0; i < std::size(bad); ++i)
            s.left[bad[i]] = (i % 3 == 0) ? kNaN : (i % 3 == 1) ? kInf : -kInf;
        s.right[7000] = kNaN;
        s.right[7004] = -kInf;
    };
    Stereo music = hotMusic(rate, frames);
    spoil(music);
    auto limiter = preparedLimiter(rate);
    const std::size_t latency = limiter->latencySamples();
    const Stereo limited = run(*limiter, music, 512, /*inPlace=*/true);
    for (const std::size_t n : bad)
        EXPECT_EQ(limited.left[n + latency], 0.0f) << n;
    EXPECT_EQ(limited.right[7000 + latency], 0.0f);
    EXPECT_EQ(limited.right[7004 + latency], 0.0f);
    for (std::size_t n = 0; n < frames; ++n)
        ASSERT_LE(std::max(std::fabs(limited.left[n]), std::fabs(limited.right[n])), 1.0f) << n;
}
