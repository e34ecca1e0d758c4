// The limiter's one promise that must never break: no output sample above the ceiling, whatever
// comes in (overs of every shape, non-finite samples).
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

// Overs of every shape (hot music is also checked while parameters change, in the render-safety
// test): a one-sample spike, a DC step, a sine at a quarter of the rate, overs in one channel
// only, and a pre-gain that drives everything 40 dB over.
TEST(PeakLimiterCeiling, NoOutputSampleExceedsTheCeilingForAnyOverAnySettingsOrBlockSize) {
    for (const double rate : {44100.0, 48000.0}) {
        const auto half = static_cast<std::size_t>(rate / 2);
        auto spike = sine(rate, 440.0, 0.5, half);
        spike[half / 2] = 100.0f;
        std::vector<float> step(half, 0.0f);
        std::fill(step.begin() + std::ptrdiff_t(half / 4), step.end(), 10.0f);
        Stereo rightOnly(half);
        rightOnly.right = hotMusic(rate, half).right;
        const struct {
            const char* name;
            Stereo signal;
            float preGain;
        } overs[] = {{"+40 dB single-sample spike", mono(spike), 0.0f},
                     {"+20 dB DC step", mono(step), 0.0f},
                     {"sine at fs/4, 6 dB over", mono(sine(rate, rate / 4, 2.0, half, 0.3)), 0.0f},
                     {"hot music in the right channel only", rightOnly, 0.0f},
                     {"hot music, pre-gain +40 dB", hotMusic(rate, half, 1.0, 5), 40.0f}};
        for (const auto& c : overs) {
            for (Settings s : {Settings{}, kSystemSettings, Settings{0.001f, 0.001f, 0.0f},
                               Settings{0.03f, 0.001f, 0.0f}}) {
                s.preGain += c.preGain;
                for (const std::uint32_t block : {512u, 37u}) {
                    auto limiter = preparedLimiter(rate, s);
                    const Stereo out = run(*limiter, c.signal, block, /*inPlace=*/block == 37);
                    ASSERT_LE(peakOf(out), 1.0f) << c.name << " at " << rate << " Hz, block "
                                                 << block << ", attack " << s.attack;
                    ASSERT_GT(peakOf(out), 0.5f) << c.name << ": limited, not silenced";
                }
            }
        }
    }
}

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
