// The limiter's one promise that must never break: no output sample above the ceiling.
#include <cmath>
#include <cstdio>
#include <limits>
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
    const auto second = static_cast<std::size_t>(rate);
    std::vector<Case> cases;
    cases.push_back({"hot music (+12 dB peaks)", hotMusic(rate, 2 * second)});

    auto spike = sine(rate, 440.0, 0.5, second / 2);
    spike[second / 4] = 100.0f; // +40 dB, one sample
    cases.push_back({"+40 dB single-sample spike", mono(spike)});

    std::vector<float> square(second / 2);
    for (std::size_t n = 0; n < square.size(); ++n)
        square[n] = (n / static_cast<std::size_t>(rate / 200.0)) % 2 ? -4.0f : 4.0f;
    cases.push_back({"full-scale square x4", mono(square)});

    std::vector<float> step(second / 2, 0.0f);
    std::fill(step.begin() + static_cast<std::ptrdiff_t>(second / 8), step.end(), 10.0f);
    cases.push_back({"+20 dB DC step", mono(step)});

    const double over = decibelsToGain(6.0);
    for (const double phase : {0.0, 0.3, std::numbers::pi / 4}) {
        cases.push_back({"sine at fs/2, 6 dB over", mono(sine(rate, rate / 2, over, second / 2,
                                                              phase + std::numbers::pi / 2))});
        cases.push_back(
            {"sine at fs/4, 6 dB over", mono(sine(rate, rate / 4, over, second / 2, phase))});
    }
    cases.push_back({"hot music, pre-gain +40 dB", hotMusic(rate, second, 1.0, 5), 40.0f});
    return cases;
}

} // namespace

TEST(PeakLimiterCeiling, NoOutputSampleExceedsTheCeilingForAnyOverAnySettingsOrBlockSize) {
    const Settings settings[] = {
        {}, kSystemSettings, {0.001f, 0.001f, 0.0f}, {0.03f, 0.001f, 0.0f}, {0.001f, 0.06f, 0.0f}};
    for (const double rate : {44100.0, 48000.0}) {
        for (const Case& c : overs(rate)) {
            float worst = 0.0f;
            for (Settings s : settings) {
                s.preGain += c.preGain;
                for (const std::uint32_t block : {512u, 37u}) {
                    auto limiter = preparedLimiter(rate, s);
                    const Stereo out = run(*limiter, c.signal, block, /*inPlace=*/block == 37);
                    const float peak = peakOf(out);
                    worst = std::max(worst, peak);
                    ASSERT_LE(peak, 1.0f) << c.name << " at " << rate << " Hz, block " << block
                                          << ", attack " << s.attack << ", decay " << s.decay;
                }
            }
            std::printf("[ measured ] %-28s %6.0f Hz: input peak %8.3f, output peak %.7f\n",
                        c.name.c_str(), rate, peakOf(c.signal) * decibelsToGain(c.preGain),
                        static_cast<double>(worst));
        }
    }
}

TEST(PeakLimiterCeiling, HoldsUnderRandomParameterChangesBetweenBlocks) {
    // Settings change every block, on hot music: the hold window grows and shrinks, the pre-gain
    // ramps; the ceiling must hold throughout and nothing may turn non-finite.
    std::mt19937 random(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const double rate = 48000.0;
    const Stereo music = hotMusic(rate, 256 * 560);
    auto limiter = preparedLimiter(rate);
    Stereo buffer = music;
    for (std::size_t begin = 0; begin + 256 <= buffer.frames(); begin += 256) {
        limiter->setAttackTime(0.001f + 0.029f * unit(random));
        limiter->setDecayTime(0.001f + 0.059f * unit(random));
        limiter->setPreGain(-10.0f + 30.0f * unit(random));
        float* io[2] = {buffer.left.data() + begin, buffer.right.data() + begin};
        ASSERT_TRUE(limiter->process(io, io, 2, 256));
    }
    for (std::size_t n = 0; n < buffer.frames(); ++n) {
        ASSERT_TRUE(std::isfinite(buffer.left[n]) && std::isfinite(buffer.right[n])) << n;
        ASSERT_LE(std::max(std::fabs(buffer.left[n]), std::fabs(buffer.right[n])), 1.0f) << n;
    }
}

TEST(PeakLimiterCeiling, NonFiniteInputGivesZeroForThoseSamplesAndTheStateRecoversWithin100ms) {
    constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    constexpr float kInf = std::numeric_limits<float>::infinity();
    for (const double rate : {44100.0, 48000.0}) {
        const auto frames = static_cast<std::size_t>(rate);
        std::vector<std::size_t> bad;
        for (std::size_t n = 1000; n < 1200; ++n)
            bad.push_back(n); // a run in one channel
        bad.insert(bad.end(), {5000, 5001, 9000, frames / 2 - 10});
        const auto spoil = [&](Stereo& s) {
            for (std::size_t i = 0; i < bad.size(); ++i)
                s.left[bad[i]] = (i % 3 == 0) ? kNaN : (i % 3 == 1) ? kInf : -kInf;
            s.right[7000] = kNaN;
            s.right[frames / 2 - 3] = kInf;
        };

        // Over loud music: those samples come out as 0, everything else finite and limited.
        Stereo music = hotMusic(rate, frames);
        spoil(music);
        auto limiter = preparedLimiter(rate);
        const std::size_t latency = limiter->latencySamples();
        const Stereo limited = run(*limiter, music, 512, /*inPlace=*/true);
        for (const std::size_t n : bad)
            ASSERT_EQ(limited.left[n + latency], 0.0f) << n;
        ASSERT_EQ(limited.right[7000 + latency], 0.0f);
        for (std::size_t n = 0; n < frames; ++n)
            ASSERT_TRUE(std::isfinite(limited.left[n]) && std::isfinite(limited.right[n])) << n;
        ASSERT_LE(peakOf(limited), 1.0f);

        // Over a signal below the ceiling: from 100 ms after the last non-finite sample, the
        // output is the input delayed, within 1e-6.
        Stereo quiet = mono(sine(rate, 1000.0, 0.9, frames));
        const Stereo clean = quiet;
        spoil(quiet);
        limiter->reset();
        const Stereo out = run(*limiter, quiet, 512);
        const std::size_t recovered = frames / 2 - 3 + latency + frames / 10;
        double largestError = 0.0;
        for (std::size_t n = recovered; n < frames; ++n)
            for (const auto* channel : {&out.left, &out.right})
                largestError = std::max(largestError,
                                        std::fabs(double((*channel)[n]) - clean.left[n - latency]));
        EXPECT_LE(largestError, 1e-6) << rate;
        std::printf("[ measured ] non-finite input at %.0f Hz: error 100 ms after it %.2e\n", rate,
                    largestError);
    }
}

TEST(PeakLimiterCeiling, AMonoStreamIsLimitedAndOtherwiseDelayedUnchanged) {
    const double rate = 48000.0;
    auto limiter = preparedLimiter(rate, kSystemSettings, 512);
    const std::size_t latency = limiter->latencySamples();
    const double gain = decibelsToGain(kSystemSettings.preGain);
    // Loud music, then a quiet sine long after the release has settled.
    std::vector<float> signal = hotMusic(rate, 48000).left;
    const auto quiet = sine(rate, 440.0, 0.7, 48000);
    signal.insert(signal.end(), quiet.begin(), quiet.end());
    std::vector<float> out = signal;
    for (std::size_t begin = 0; begin + 512 <= out.size(); begin += 512) {
        float* io[1] = {out.data() + begin};
        ASSERT_TRUE(limiter->process(io, io, 1, 512));
    }
    EXPECT_LE(peakOf(out), 1.0f);
    EXPECT_GT(peakOf(std::vector<float>(out.begin(), out.begin() + 48000)), 0.99f);
    double largestError = 0.0;
    for (std::size_t n = 48000 + 24000; n < out.size() - out.size() % 512; ++n)
        largestError = std::max(largestError, std::fabs(out[n] - gain * signal[n - latency]));
    EXPECT_LE(largestError, 1e-6);
}
