// Follower: ramps, hold and release counted in samples at 48 kHz.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Follower.h"

namespace {

// Feeds `value` `count` times; returns the peak after the last sample.
float feed(Follower& follower, float value, int count) {
    for (int i = 0; i < count; ++i)
        follower.processSample(&value);
    return follower.getPeak();
}

// The 1-based index of the first sample after which the peak reaches `level` (rising or falling).
int samplesUntil(Follower& follower, float value, double level, bool rising, int limit) {
    for (int n = 1; n <= limit; ++n) {
        follower.processSample(&value);
        const double peak = follower.currentPeak;
        if (rising ? peak >= level : peak <= level) return n;
    }
    return -1;
}

} // namespace

TEST(Follower, ReachesFullScaleAfterSixteenSamplesAtMinimumAttack) {
    Follower follower;
    follower.setAttack(0.0f);
    EXPECT_EQ(follower.attackTime, 16.0f);
    EXPECT_EQ(follower.increase, 1.0 / 16.0);
    EXPECT_LT(feed(follower, 1.0f, 15), 1.0f);
    EXPECT_EQ(feed(follower, 1.0f, 1), 1.0f);
}

TEST(Follower, LinearAttackOfTenMillisecondsReachesFullScaleAtSample480) {
    Follower follower; // 0.01 s at 48 kHz by default
    EXPECT_EQ(samplesUntil(follower, 1.0f, 0.632, true, 1000), 304);
    follower.reset();
    EXPECT_NEAR(feed(follower, 1.0f, 479), 479.0 / 480.0, 1e-6);
    EXPECT_NEAR(feed(follower, 1.0f, 1), 1.0, 1e-9);
}

TEST(Follower, ReleaseHoldsFourSamplesThenFallsLinearly) {
    Follower follower;
    follower.setAttack(0.0f);
    feed(follower, 1.0f, 16); // exactly 1.0, hold counter loaded
    ASSERT_EQ(follower.decayTime, 4);
    EXPECT_EQ(feed(follower, 0.0f, 4), 1.0f);
    feed(follower, 0.0f, 1);
    EXPECT_DOUBLE_EQ(follower.currentPeak, 1.0 - 1.0 / 24000.0);

    follower.reset();
    feed(follower, 1.0f, 16);
    const int n = samplesUntil(follower, 0.0f, 0.368, false, 30000);
    EXPECT_NEAR(n, 15172, 1);
    EXPECT_EQ(feed(follower, 0.0f, 30000), 0.0f) << "the peak never goes below zero";
}

TEST(Follower, SampleEqualToThePeakChangesNothing) {
    Follower follower;
    follower.setAttack(0.0f);
    feed(follower, 1.0f, 16);
    feed(follower, 0.0f, 2); // hold counter down to 2
    feed(follower, 1.0f, 100);
    EXPECT_EQ(follower.getPeak(), 1.0f);
    EXPECT_EQ(follower.decayTime, 2) << "an equal sample must not count the hold down";
}

TEST(Follower, OutOfRangeTimesAreIgnored) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Follower follower;
    for (float bad : {1.5f, -1.0f, nan, inf, -inf})
        follower.setAttack(bad);
    for (float bad : {10.5f, -1.0f, nan, inf, -inf})
        follower.setRelease(bad);
    for (float bad : {1.5f, -0.1f, nan, inf})
        follower.setDecay(bad);
    EXPECT_EQ(follower.fAttack, 0.01f);
    EXPECT_EQ(follower.attackTime, 480.0f);
    EXPECT_EQ(follower.fRelease, 0.5f);
    EXPECT_EQ(follower.releaseTime, 24000.0f);
    EXPECT_EQ(follower.decayTime, 4);

    follower.setRelease(10.0f);
    EXPECT_EQ(follower.releaseTime, 480000.0f);

    // A non-finite value never reaches the ramp: the peak stays a number.
    float sample = 0.5f;
    for (int i = 0; i < 100; ++i)
        follower.processSample(&sample);
    EXPECT_TRUE(std::isfinite(follower.getPeak()));
}

TEST(Follower, NanInputLeavesThePeakUnchanged) {
    Follower follower;
    feed(follower, 0.5f, 100);
    const float before = follower.getPeak();
    feed(follower, std::numeric_limits<float>::quiet_NaN(), 10);
    EXPECT_EQ(follower.getPeak(), before);
}

TEST(Follower, SampleRateChangePutsTheTimesBackToTheirDefaults) {
    Follower follower;
    follower.setAttack(0.5f);
    follower.setRelease(2.0f);
    follower.setDecay(0.5f);
    follower.setSamplerate(44100.0f);
    EXPECT_EQ(follower.fAttack, 0.01f);
    EXPECT_EQ(follower.attackTime, 0.01f * 44100.0f);
    EXPECT_EQ(follower.releaseTime, 0.5f * 44100.0f);
    EXPECT_EQ(follower.decayTime, 4); // 4.41 truncated

    follower.setSamplerate(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(follower.fSamplerate, 44100.0f);
}
