// The limiter's one promise that must never break: no output sample above the ceiling, whatever
// comes in (overs of every shape, non-finite samples).
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

namespace {

struct Case {
    std::string name;
    Stereo signal;
    float preGain = 0.0f;
};

std::vector<Case> overs(double rate) {
    const auto half = static_cast<std::size_t>(rate / 2);
    std::vector<Case> cases;
    cases.push_back({"hot music (+12 dB peaks)", hotMusic(rate, 2 * half)});
    auto spike = sine(rate, 440.0, 0.5, half);
    spike[half / 2] = 100.0f; // +40 dB, one sample
    cases.push_back({"+40 dB single-sample spike", mono(spike)});
    std::vector<float> square(half), step(half, 0.0f);
    for (std::size_t n = 0; n < half; ++n)
        square[n] = (n / static_cast<std::size_t>(rate / 200.0)) % 2 ? -4.0f : 4.0f;
    std::fill(step.begin() + static_cast<std::ptrdiff_t>(half / 4), step.end(), 10.0f);
    cases.push_back({"full-scale square x4", mono(square)});
    cases.push_back({"+20 dB DC step", mono(step)});
    cases.push_back({"sine at fs/4, 6 dB over", mono(sine(rate, rate / 4, 2.0, half, 0.3))});
    Stereo rightOnly(half); // overs in one channel only
    rightOnly.right = hotMusic(rate, half).right;
    cases.push_back({"hot music in the right channel only", rightOnly});
    cases.push_back({"hot music, pre-gain +40 dB", hotMusic(rate, half, 1.0, 5), 40.0f});
    return cases;
}

} // namespace

TEST(PeakLimiterCeiling, NoOutputSampleExceedsTheCeilingForAnyOverAnySettingsOrBlockSize) {
    const Settings settings[] = {
        {}, kSystemSettings, {0.001f, 0.001f, 0.0f}, {0.03f, 0.001f, 0.0f}};
    for (const double rate : {44100.0, 48000.0}) {
        for (const Case& c : overs(rate)) {
            for (Settings s : settings) {
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
