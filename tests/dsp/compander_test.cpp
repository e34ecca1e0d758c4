// Compander2: threshold mapping, gain factors, pass-through, inverted output and detector modes.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "Compander2.h"
#include "support/Signals.h"

namespace {

// Holds a detector's peak at `peak` (hold counter far from running out), so that processing a
// silent sample shows the factor that peak gives.
void pinDetector(Follower& follower, double peak) {
    follower.currentPeak = peak;
    follower.decayTime = 1000;
}

float factorAfterSilentSample(Compander2& compander) {
    float l = 0.0f, r = 0.0f;
    compander.processBuffers(&l, &r, 1);
    return compander.getFactorL();
}

} // namespace

TEST(Compander2, ThresholdMapsToDrive) {
    Compander2 compander;
    compander.setThreshold(0.0f);
    EXPECT_FLOAT_EQ(compander.vThreshold, 1.95f);
    compander.setThreshold(1.0f);
    EXPECT_FLOAT_EQ(compander.vThreshold, 0.05f);
    compander.setThreshold(0.8f);
    EXPECT_FLOAT_EQ(compander.vThreshold, 0.43f);
    compander.setThreshold(0.5f);
    EXPECT_EQ(compander.vThreshold, 1.0f);
    EXPECT_EQ(compander.vThresholdInv, 1.0f);
    compander.setThreshold(1.5f); // below the floor
    EXPECT_EQ(compander.vThreshold, 0.01f);
    EXPECT_FLOAT_EQ(compander.vThresholdInv, 100.0f);
}

TEST(Compander2, GainFactorFollowsTheDetectorPeak) {
    Compander2 compander;
    compander.setMultiplier(0.6f);

    pinDetector(compander.inputFollower[0], 1.0);
    EXPECT_EQ(factorAfterSilentSample(compander), 1.0f);
    pinDetector(compander.inputFollower[0], 2.0);
    EXPECT_EQ(factorAfterSilentSample(compander), 0.5f);
    pinDetector(compander.inputFollower[0], 0.25);
    EXPECT_FLOAT_EQ(factorAfterSilentSample(compander), 1.0f + 0.75f * 0.6f);
    pinDetector(compander.inputFollower[0], 0.0);
    EXPECT_FLOAT_EQ(factorAfterSilentSample(compander), 1.6f) << "silent detector: 1 + multiplier";

    compander.setMultiplier(-5.0f); // raised to -1
    EXPECT_EQ(compander.fMultiplier, -1.0f);
    // Linked to a silent left detector, the right channel is silenced before the mix.
    compander.reset();
    compander.setMode(3);
    float l = 0.0f, r = 0.5f;
    compander.processBuffers(&l, &r, 1);
    EXPECT_EQ(compander.getFactorL(), 0.0f);
    EXPECT_EQ(r, 0.0f);
}

TEST(Compander2, DefaultSettingsPassTheSignalThrough) {
    Compander2 compander; // mix 1, gain 1, multiplier 0, drive 1
    auto signal = testsignals::musicLike(48000);
    auto expected = signal;
    compander.processBuffers(signal.left.data(), signal.right.data(),
                             static_cast<std::int64_t>(signal.size()));
    for (std::size_t i = 0; i < signal.size(); ++i) {
        ASSERT_NEAR(signal.left[i], expected.left[i], 1e-6f) << i;
        ASSERT_NEAR(signal.right[i], expected.right[i], 1e-6f) << i;
    }
}

TEST(Compander2, InvertedOutputOfAUnityStageIsSilence) {
    Compander2 compander;
    compander.setInverted(true);
    compander.setMix(0.3f); // not used when inverted
    auto signal = testsignals::musicLike(4800);
    compander.processBuffers(signal.left.data(), signal.right.data(), 4800);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        ASSERT_NEAR(signal.left[i], 0.0f, 1e-7f);
        ASSERT_NEAR(signal.right[i], 0.0f, 1e-7f);
    }
}

TEST(Compander2, MixBlendsProcessedAndDrySignal) {
    Compander2 compander;
    compander.setGain(1.0f); // gain 2: processed = 2 × input while the detector is below 1
    compander.setMix(0.25f);
    float l = 0.2f, r = -0.4f;
    compander.processBuffers(&l, &r, 1);
    EXPECT_FLOAT_EQ(l, 0.2f * 2.0f * 0.25f + 0.2f * 0.75f);
    EXPECT_FLOAT_EQ(r, -0.4f * 2.0f * 0.25f + -0.4f * 0.75f);
}

TEST(Compander2, MidSideModeFollowsTheMidOnly) {
    Compander2 compander;
    compander.setMultiplier(0.5f);
    compander.setMode(1);
    std::vector<float> left(2000), right(2000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
        right[i] = -left[i]; // side only
    }
    compander.processBuffers(left.data(), right.data(), 2000);
    EXPECT_EQ(compander.inputFollower[0].getPeak(), 0.0f);
    EXPECT_GT(compander.inputFollower[1].getPeak(), 0.0f);
    EXPECT_FLOAT_EQ(compander.getFactorL(), 1.5f);
    EXPECT_FLOAT_EQ(compander.getFactorR(), 1.5f);
}

TEST(Compander2, LinkedToLeftModeIgnoresTheRightDetector) {
    Compander2 compander;
    compander.setMultiplier(-0.5f);
    compander.setMode(3);
    std::vector<float> left(2000, 0.0f), right(2000);
    for (std::size_t i = 0; i < right.size(); ++i)
        right[i] = 0.8f * std::sin(0.05f * i);
    compander.processBuffers(left.data(), right.data(), 2000);
    EXPECT_GT(compander.inputFollower[1].getPeak(), 0.0f);
    EXPECT_FLOAT_EQ(compander.getFactorL(), 0.5f);
    EXPECT_FLOAT_EQ(compander.getFactorR(), 0.5f);
}

TEST(Compander2, UnknownModeProcessesLikeModeZero) {
    auto a = testsignals::musicLike(9600);
    auto b = a;
    Compander2 mode0, mode7;
    for (Compander2* c : {&mode0, &mode7}) {
        c->setMultiplier(0.7f);
        c->setThreshold(0.8f);
        c->setGain(0.4f);
        c->setMix(0.8f);
    }
    mode7.setMode(7);
    mode0.processBuffers(a.left.data(), a.right.data(), 9600);
    mode7.processBuffers(b.left.data(), b.right.data(), 9600);
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

TEST(Compander2, NonFiniteSettingsAreIgnored) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Compander2 compander;
    compander.setThreshold(0.8f);
    compander.setMultiplier(0.2f);
    for (float bad : {nan, inf, -inf}) {
        compander.setThreshold(bad);
        compander.setMultiplier(bad);
        compander.setGain(bad);
        compander.setMix(bad);
        compander.setAttack(bad);
        compander.setRelease(bad);
        compander.setSamplerate(bad);
    }
    auto signal = testsignals::musicLike(4800);
    compander.processBuffers(signal.left.data(), signal.right.data(), 4800);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        ASSERT_TRUE(std::isfinite(signal.left[i]) && std::isfinite(signal.right[i])) << i;
    }
    EXPECT_FLOAT_EQ(compander.vThreshold, 0.43f);
    EXPECT_EQ(compander.fMultiplier, 0.2f);
}

TEST(Compander2, ZeroOrNegativeFrameCountDoesNothing) {
    Compander2 compander;
    compander.setGain(1.0f);
    float l = 0.5f, r = 0.5f;
    compander.processBuffers(&l, &r, 0);
    compander.processBuffers(&l, &r, -3);
    EXPECT_EQ(l, 0.5f);
    EXPECT_EQ(compander.inputFollower[0].getPeak(), 0.0f);
}
