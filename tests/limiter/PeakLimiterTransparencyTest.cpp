// Below the ceiling the limiter is a delay and a gain; both channels always share one gain;
// parameter handling.
#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

// Mono and stereo, in and out of place, any block size: the input times the pre-gain, delayed.
TEST(PeakLimiterTransparency, BelowTheCeilingOutputIsInputTimesPreGainDelayedWithin1e6) {
    for (const double rate : {44100.0, 48000.0}) {
        for (const float preGain : {0.0f, -0.01f, -40.0f, 6.0f, 40.0f}) {
            const double gain = decibelsToGain(preGain);
            const Stereo input = hotMusic(rate, static_cast<std::size_t>(rate / 2),
                                          std::min(1.0, 1.0 / gain) * (1.0 - 1e-7));
            for (const std::uint32_t block : {1u, 37u, 512u, 4096u}) {
                for (const int channels : {1, 2}) {
                    auto limiter = preparedLimiter(rate, {0.012f, 0.024f, preGain});
                    const std::size_t latency = limiter->latencySamples();
                    const Stereo out =
                        run(*limiter, input, block, /*inPlace=*/channels == 2, channels);
                    double error = 0.0;
                    for (std::size_t n = 0; n < out.frames(); ++n) {
                        const double l = n >= latency ? gain * input.left[n - latency] : 0.0;
                        const double r = n >= latency ? gain * input.right[n - latency] : 0.0;
                        error = std::max({error, std::fabs(out.left[n] - l),
                                          channels == 2 ? std::fabs(out.right[n] - r) : 0.0});
                    }
                    ASSERT_LE(error, 1e-6) << rate << " Hz, pre-gain " << preGain << " dB, block "
                                           << block << ", channels " << channels;
                }
            }
        }
    }
}

TEST(PeakLimiterTransparency, BothChannelsAlwaysGetTheSameGain) {
    // Different material per channel, and overs in the left channel only for a while.
    Stereo input = hotMusic(48000.0, 48000);
    for (std::size_t n = 0; n < input.frames() / 4; ++n)
        input.right[n] *= 0.1f;
    auto limiter = preparedLimiter(48000.0);
    const std::size_t latency = limiter->latencySamples();
    const Stereo out = run(*limiter, input, 512);
    std::size_t compared = 0;
    for (std::size_t n = latency; n < out.frames(); ++n) {
        const float l = input.left[n - latency], r = input.right[n - latency];
        if (std::fabs(l) < 1e-3f || std::fabs(r) < 1e-3f) continue;
        const double gainLeft = out.left[n] / double(l), gainRight = out.right[n] / double(r);
        ASSERT_LE(std::fabs(gainLeft - gainRight) / gainLeft, 1e-6) << n;
        ++compared;
    }
    EXPECT_GT(compared, input.frames() / 2);
}

TEST(PeakLimiterTransparency, PreGainChangesRampAcrossTheNextBlockWithoutAStep) {
    auto limiter = preparedLimiter(48000.0);
    const Stereo dc = mono(std::vector<float>(2048, 0.5f));
    run(*limiter, dc, 512);
    limiter->setPreGain(-6.0f);
    const Stereo out = run(*limiter, dc, 512);
    const std::size_t latency = limiter->latencySamples();
    const double target = 0.5 * decibelsToGain(-6.0);
    for (std::size_t n = latency + 1; n < latency + 512; ++n)
        ASSERT_NEAR(out.left[n - 1] - out.left[n], (0.5 - target) / 512.0, 1e-6) << n;
    EXPECT_NEAR(out.left[latency + 600], target, 1e-6);
}

TEST(PeakLimiterParameters, OutOfRangeValuesAreClampedAndNonFiniteValuesIgnored) {
    pf::PeakLimiterDSP limiter;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float attack, decay, preGain;
    } sent[] = {{0.1f, 0.1f, 50.0f}, {0.0005f, -1.0f, -50.0f}, {nan, inf, -inf}},
      read[] = {{0.03f, 0.06f, 40.0f}, {0.001f, 0.001f, -40.0f}, {0.001f, 0.001f, -40.0f}};
    for (std::size_t i = 0; i < std::size(sent); ++i) {
        limiter.setAttackTime(sent[i].attack);
        limiter.setDecayTime(sent[i].decay);
        limiter.setPreGain(sent[i].preGain);
        EXPECT_EQ(limiter.attackTime(), read[i].attack) << i;
        EXPECT_EQ(limiter.decayTime(), read[i].decay) << i;
        EXPECT_EQ(limiter.preGain(), read[i].preGain) << i;
    }
}

TEST(PeakLimiterParameters, PrepareAndProcessRefuseWhatTheyCannotServe) {
    pf::PeakLimiterDSP limiter;
    float buffer[2][64] = {};
    float* io[2] = {buffer[0], buffer[1]};
    EXPECT_FALSE(limiter.process(io, io, 2, 64)) << "not prepared";
    EXPECT_FALSE(limiter.prepare(std::numeric_limits<double>::quiet_NaN(), 64));
    EXPECT_FALSE(limiter.prepare(0.0, 64));
    EXPECT_FALSE(limiter.prepare(44100.0, 0));
    ASSERT_TRUE(limiter.prepare(44100.0, 32));
    buffer[0][0] = 0.25f;
    EXPECT_FALSE(limiter.process(io, io, 2, 64)) << "more frames than prepared for";
    EXPECT_FALSE(limiter.process(io, io, 3, 32));
    EXPECT_FALSE(limiter.process(io, io, 0, 32));
    float* missing[2] = {buffer[0], nullptr};
    EXPECT_FALSE(limiter.process(missing, missing, 2, 32));
    EXPECT_EQ(buffer[0][0], 0.25f) << "a refused call touches nothing";
    EXPECT_TRUE(limiter.process(io, io, 2, 0));
}
