// Below the ceiling the limiter is a delay and a gain; both channels always share one gain; bypass,
// discontinuities and parameter handling.
#include <cmath>
#include <cstdio>
#include <limits>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

namespace {

// Largest |out[n] - gain * in[n - latency]| (with silence before the input starts).
double largestDelayError(const Stereo& in, const Stereo& out, std::size_t latency, double gain) {
    double largest = 0.0;
    for (std::size_t n = 0; n < out.frames(); ++n) {
        const double l = n >= latency ? gain * in.left[n - latency] : 0.0;
        const double r = n >= latency ? gain * in.right[n - latency] : 0.0;
        largest = std::max({largest, std::fabs(out.left[n] - l), std::fabs(out.right[n] - r)});
    }
    return largest;
}

Stereo belowCeiling(double rate, std::size_t frames, double peak) {
    // Two sines and noise, different per channel, scaled to `peak`; one sample exactly at it.
    Stereo s(frames);
    std::mt19937 random(9);
    std::uniform_real_distribution<float> noise(-0.1f, 0.1f);
    const auto a = sine(rate, 997.0, 0.6, frames);
    const auto b = sine(rate, 61.0, 0.3, frames, 1.0);
    for (std::size_t n = 0; n < frames; ++n) {
        s.left[n] = a[n] + b[n] + noise(random);
        s.right[n] = b[n] - a[n] * 0.5f + noise(random);
    }
    const float scale = static_cast<float>(peak) / peakOf(s);
    for (std::size_t n = 0; n < frames; ++n) {
        s.left[n] *= scale;
        s.right[n] *= scale;
    }
    s.left[frames / 3] = static_cast<float>(peak);
    return s;
}

} // namespace

TEST(PeakLimiterTransparency, LatencyIsConstantAndAtMostOnePointFiveMilliseconds) {
    const struct {
        double rate;
        std::uint32_t frames;
    } expected[] = {{44100.0, 66}, {48000.0, 72}, {96000.0, 144}};
    for (const auto& e : expected) {
        for (const Settings s : {Settings{}, kSystemSettings, Settings{0.001f, 0.001f, 0.0f}}) {
            auto limiter = preparedLimiter(e.rate, s);
            EXPECT_EQ(limiter->latencySamples(), e.frames) << e.rate;
            EXPECT_LE(limiter->latencySeconds(), 0.0015 + 1e-12) << e.rate;
            // An impulse comes out exactly that many frames later.
            Stereo impulse(1024);
            impulse.left[10] = impulse.right[10] = 0.5f;
            const Stereo out = run(*limiter, impulse, 256);
            const auto where =
                std::max_element(out.left.begin(), out.left.end()) - out.left.begin();
            EXPECT_EQ(static_cast<std::uint32_t>(where), 10 + e.frames) << e.rate;
        }
        std::printf("[ measured ] latency at %.0f Hz: %u frames = %.4f ms\n", e.rate, e.frames,
                    e.frames * 1000.0 / e.rate);
    }
}

TEST(PeakLimiterTransparency, BelowTheCeilingOutputIsInputTimesPreGainDelayedWithin1e6) {
    double worst = 0.0;
    for (const double rate : {44100.0, 48000.0}) {
        for (const float preGain : {0.0f, -0.01f, -6.0f, -40.0f, 6.0f, 40.0f}) {
            const double gain = decibelsToGain(preGain);
            // Largest input that stays at or below the ceiling after the pre-gain.
            const Stereo input = belowCeiling(rate, static_cast<std::size_t>(rate / 2),
                                              std::min(1.0, 1.0 / gain) * (1.0 - 1e-7));
            for (const std::uint32_t block : {1u, 37u, 512u, 4096u}) {
                for (const bool inPlace : {false, true}) {
                    auto limiter = preparedLimiter(rate, {0.012f, 0.024f, preGain});
                    const Stereo out = run(*limiter, input, block, inPlace);
                    const double error =
                        largestDelayError(input, out, limiter->latencySamples(), gain);
                    worst = std::max(worst, error);
                    ASSERT_LE(error, 1e-6) << rate << " Hz, pre-gain " << preGain << " dB, block "
                                           << block << (inPlace ? " in place" : "");
                }
            }
        }
    }
    std::printf("[ measured ] largest deviation below the ceiling: %.2e\n", worst);
}

TEST(PeakLimiterTransparency, BothChannelsAlwaysGetTheSameGain) {
    for (const double rate : {44100.0, 48000.0}) {
        // Different material per channel, and overs in the left channel only for a while.
        Stereo input = hotMusic(rate, static_cast<std::size_t>(rate));
        for (std::size_t n = 0; n < input.frames() / 4; ++n)
            input.right[n] *= 0.1f;
        auto limiter = preparedLimiter(rate);
        const std::size_t latency = limiter->latencySamples();
        const Stereo out = run(*limiter, input, 512);
        double largest = 0.0;
        std::size_t compared = 0;
        for (std::size_t n = latency; n < out.frames(); ++n) {
            const float l = input.left[n - latency];
            const float r = input.right[n - latency];
            if (std::fabs(l) < 1e-3f || std::fabs(r) < 1e-3f) continue;
            const double gainLeft = out.left[n] / static_cast<double>(l);
            const double gainRight = out.right[n] / static_cast<double>(r);
            largest = std::max(largest, std::fabs(gainLeft - gainRight) / gainLeft);
            ++compared;
        }
        EXPECT_GT(compared, input.frames() / 2);
        EXPECT_LE(largest, 1e-6) << rate;
        // The quiet right channel was turned down by the left channel's overs.
        EXPECT_LT(peakOf(std::vector<float>(out.right.begin(), out.right.begin() + 10000)),
                  0.5f *
                      peakOf(std::vector<float>(input.right.begin(), input.right.begin() + 10000)));
    }
}

TEST(PeakLimiterTransparency, BypassPassesTheInputThroughAndLeavesTheStateRunning) {
    const double rate = 48000.0;
    const Stereo input = hotMusic(rate, 48000);
    auto reference = preparedLimiter(rate);
    const Stereo expected = run(*reference, input, 512);

    for (const bool inPlace : {false, true}) {
        auto limiter = preparedLimiter(rate);
        Stereo out = input;
        Stereo source = input;
        for (std::size_t begin = 0, index = 0; begin < input.frames(); begin += 512, ++index) {
            const bool bypassed = index >= 20 && index < 40;
            limiter->setBypass(bypassed);
            const auto count =
                static_cast<std::uint32_t>(std::min<std::size_t>(512, input.frames() - begin));
            float* o[2] = {out.left.data() + begin, out.right.data() + begin};
            const float* i[2] = {source.left.data() + begin, source.right.data() + begin};
            ASSERT_TRUE(inPlace ? limiter->process(o, o, 2, count)
                                : limiter->process(i, o, 2, count));
            for (std::uint32_t k = 0; k < count; ++k) {
                if (bypassed) {
                    ASSERT_EQ(out.left[begin + k], input.left[begin + k]);
                    ASSERT_EQ(out.right[begin + k], input.right[begin + k]);
                } else {
                    // Before and after bypass: exactly what a never-bypassed limiter gives.
                    ASSERT_EQ(out.left[begin + k], expected.left[begin + k]);
                    ASSERT_EQ(out.right[begin + k], expected.right[begin + k]);
                }
            }
        }
    }
}

TEST(PeakLimiterTransparency, ResetAndDiscontinuityStartAfreshWithNoStaleAudioOrGain) {
    const double rate = 44100.0;
    const Stereo loud = hotMusic(rate, 22050);
    const Stereo next = mono(sine(rate, 440.0, 0.8, 4096));
    auto fresh = preparedLimiter(rate);
    const Stereo expected = run(*fresh, next, 512);

    for (const bool lookaheadOnly : {true, false}) {
        auto limiter = preparedLimiter(rate);
        run(*limiter, loud, 512); // ends deep in gain reduction, with loud audio in the delay
        if (lookaheadOnly)
            limiter->resetLookahead();
        else
            limiter->reset();
        const Stereo out = run(*limiter, next, 512);
        for (std::size_t n = 0; n < out.frames(); ++n) {
            ASSERT_EQ(out.left[n], expected.left[n]) << n;
            ASSERT_EQ(out.right[n], expected.right[n]) << n;
        }
        // Starts with the delay's silence, then the new stream at full level.
        EXPECT_EQ(peakOf(std::vector<float>(out.left.begin(), out.left.begin() + 66)), 0.0f);
        EXPECT_NEAR(peakOf(out), 0.8f, 1e-4f);
    }
}

TEST(PeakLimiterTransparency, PreGainChangesRampAcrossTheNextBlockWithoutAStep) {
    const double rate = 48000.0;
    auto limiter = preparedLimiter(rate);
    const Stereo dc = mono(std::vector<float>(2048, 0.5f));
    run(*limiter, dc, 512);
    limiter->setPreGain(-6.0f);
    const Stereo out = run(*limiter, dc, 512);
    const std::size_t latency = limiter->latencySamples();
    const double target = 0.5 * decibelsToGain(-6.0);
    const double step = (0.5 - target) / 512.0;
    for (std::size_t n = latency + 1; n < latency + 512; ++n) {
        ASSERT_LE(out.left[n], out.left[n - 1]) << n;
        ASSERT_NEAR(out.left[n - 1] - out.left[n], step, 1e-6) << n;
    }
    EXPECT_NEAR(out.left[latency + 600], target, 1e-6);
}

TEST(PeakLimiterParameters, OutOfRangeValuesAreClampedAndNonFiniteValuesIgnored) {
    pf::PeakLimiterDSP limiter;
    EXPECT_EQ(limiter.attackTime(), 0.012f);
    EXPECT_EQ(limiter.decayTime(), 0.024f);
    EXPECT_EQ(limiter.preGain(), 0.0f);

    limiter.setAttackTime(0.1f);
    limiter.setDecayTime(0.1f);
    limiter.setPreGain(50.0f);
    EXPECT_EQ(limiter.attackTime(), 0.03f);
    EXPECT_EQ(limiter.decayTime(), 0.06f);
    EXPECT_EQ(limiter.preGain(), 40.0f);

    limiter.setAttackTime(0.0005f);
    limiter.setDecayTime(-1.0f);
    limiter.setPreGain(-50.0f);
    EXPECT_EQ(limiter.attackTime(), 0.001f);
    EXPECT_EQ(limiter.decayTime(), 0.001f);
    EXPECT_EQ(limiter.preGain(), -40.0f);

    limiter.setPreGain(-0.01f);
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        limiter.setAttackTime(bad);
        limiter.setDecayTime(bad);
        limiter.setPreGain(bad);
    }
    EXPECT_EQ(limiter.attackTime(), 0.001f);
    EXPECT_EQ(limiter.decayTime(), 0.001f);
    EXPECT_EQ(limiter.preGain(), -0.01f);
}

TEST(PeakLimiterParameters, NonFiniteSettingsMidStreamLeaveTheSoundUntouched) {
    // A NaN or infinite value arriving from automation must neither reach the gain computation
    // (NaN gains, NaN audio until reset) nor change what the limiter does.
    const double rate = 48000.0;
    const Stereo music = hotMusic(rate, 48000);
    auto reference = preparedLimiter(rate, kSystemSettings);
    const Stereo expected = run(*reference, music, 512);
    auto limiter = preparedLimiter(rate, kSystemSettings);
    Stereo out = music;
    for (std::size_t begin = 0, index = 0; begin < music.frames(); begin += 512, ++index) {
        const float bad = index % 2 ? std::numeric_limits<float>::quiet_NaN()
                                    : -std::numeric_limits<float>::infinity();
        limiter->setAttackTime(bad);
        limiter->setDecayTime(bad);
        limiter->setPreGain(bad);
        const auto count =
            static_cast<std::uint32_t>(std::min<std::size_t>(512, music.frames() - begin));
        float* io[2] = {out.left.data() + begin, out.right.data() + begin};
        ASSERT_TRUE(limiter->process(io, io, 2, count));
    }
    for (std::size_t n = 0; n < out.frames(); ++n) {
        ASSERT_EQ(out.left[n], expected.left[n]) << n;
        ASSERT_EQ(out.right[n], expected.right[n]) << n;
    }
}

TEST(PeakLimiterParameters, PrepareAndProcessRefuseWhatTheyCannotServe) {
    pf::PeakLimiterDSP limiter;
    float buffer[2][64] = {};
    float* io[2] = {buffer[0], buffer[1]};
    EXPECT_FALSE(limiter.process(io, io, 2, 64)) << "not prepared";
    EXPECT_EQ(limiter.latencySamples(), 0u);
    EXPECT_FALSE(limiter.prepare(std::numeric_limits<double>::quiet_NaN(), 64));
    EXPECT_FALSE(limiter.prepare(0.0, 64));
    EXPECT_FALSE(limiter.prepare(44100.0, 0));
    EXPECT_FALSE(limiter.isPrepared());

    ASSERT_TRUE(limiter.prepare(44100.0, 32));
    buffer[0][0] = 0.25f;
    EXPECT_FALSE(limiter.process(io, io, 2, 64)) << "more frames than prepared for";
    EXPECT_FALSE(limiter.process(io, io, 3, 32));
    EXPECT_FALSE(limiter.process(io, io, 0, 32));
    float* missing[2] = {buffer[0], nullptr};
    EXPECT_FALSE(limiter.process(missing, missing, 2, 32));
    EXPECT_EQ(buffer[0][0], 0.25f) << "a refused call touches nothing";
    EXPECT_TRUE(limiter.process(io, io, 2, 0));
    EXPECT_TRUE(limiter.process(io, io, 1, 32)) << "mono";
    EXPECT_EQ(buffer[0][0], 0.0f) << "the delay line's silence comes first";

    // Preparing again at another rate changes the latency.
    ASSERT_TRUE(limiter.prepare(96000.0, 32));
    EXPECT_EQ(limiter.latencySamples(), 144u);
}
