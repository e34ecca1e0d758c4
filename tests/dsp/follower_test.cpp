// Follower: linear ramps, hold and release counted in samples at 48 kHz.
#include <cmath>

#include <gtest/gtest.h>

#include "Follower.h"

namespace {

// Feeds `value` `count` times; returns the peak after the last sample.
double feed(Follower& follower, float value, int count) {
    for (int i = 0; i < count; ++i)
        follower.processSample(&value);
    return follower.currentPeak;
}

} // namespace

TEST(Follower, AttackRisesLinearlyToFullScaleInItsTimeAndNeverFasterThanSixteenSamples) {
    const struct {
        float attack;
        int samples;
    } cases[] = {{0.01f, 480}, {0.0f, 16}, {0.0001f, 16}};
    for (const auto& c : cases) {
        Follower follower;
        follower.setAttack(c.attack);
        EXPECT_NEAR(feed(follower, 1.0f, c.samples / 2), 0.5, 1e-9) << c.attack;
        EXPECT_LT(feed(follower, 1.0f, c.samples / 2 - 1), 1.0) << c.attack;
        EXPECT_NEAR(feed(follower, 1.0f, 1), 1.0, 1e-9) << c.attack;
    }
}

TEST(Follower, ReleaseHoldsFourSamplesThenFallsLinearlyToZero) {
    Follower follower;
    follower.setAttack(0.0f);
    feed(follower, 1.0f, 16);
    EXPECT_EQ(feed(follower, 0.0f, 4), 1.0);
    EXPECT_DOUBLE_EQ(feed(follower, 0.0f, 1), 1.0 - 1.0 / 24000.0);
    EXPECT_NEAR(feed(follower, 0.0f, 11999), 0.5, 1e-9);
    EXPECT_EQ(feed(follower, 0.0f, 30000), 0.0) << "the peak never goes below zero";

    // A sample equal to the peak changes nothing, not even what is left of the hold.
    feed(follower, 1.0f, 16);
    feed(follower, 0.0f, 2);
    feed(follower, 1.0f, 100);
    EXPECT_EQ(follower.decayTime, 2);
    EXPECT_EQ(feed(follower, 0.0f, 2), 1.0);
    EXPECT_LT(feed(follower, 0.0f, 1), 1.0);
    follower.setRelease(10.0f); // the longest release: 0.1 of full scale a second
    EXPECT_EQ(follower.releaseTime, 480000.0f);
    EXPECT_NEAR(feed(follower, 0.0f, 48000), 0.9, 1e-4);
}
