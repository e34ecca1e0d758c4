// How the gain moves: decay (release), attack, and a sustained over without pumping.
#include <cmath>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

TEST(PeakLimiterDynamics, AfterABurstTheGainHoldsThenRecovers63PercentWithinTheDecayTime) {
    // A +12 dB DC burst, then a DC probe at 0.25: the gain is output / 0.25 once the probe leaves
    // the delay. Time is counted from the burst's last frame leaving the delay.
    for (const double rate : {44100.0, 48000.0}) {
        for (const float decay : {0.001f, 0.005f, 0.024f, 0.06f}) {
            for (const float attack : {0.001f, 0.03f}) {
                auto limiter = preparedLimiter(rate, {attack, decay, 0.0f});
                const auto burst = static_cast<std::size_t>(0.3 * rate);
                std::vector<float> signal(burst + static_cast<std::size_t>(0.4 * rate), 0.25f);
                std::fill(signal.begin(), signal.begin() + std::ptrdiff_t(burst), 4.0f);
                const Stereo out = run(*limiter, mono(signal), 512);
                const std::size_t lastOver = burst - 1 + limiter->latencySamples();
                const double atEnd = out.left[lastOver] / 4.0;
                const double goal = atEnd + 0.632 * (1.0 - atEnd);
                std::size_t n = lastOver + 1;
                while (n < out.frames() && out.left[n] / 0.25 < goal)
                    ++n;
                EXPECT_NEAR((n - lastOver) / rate, decay, 0.1 * decay)
                    << rate << " Hz, decay " << decay << ", attack " << attack;
                EXPECT_NEAR(atEnd, 0.25, 1e-3);
                // The gain holds for half the decay time, then recovers along a one-pole curve
                // with the other half as its time constant: 1 - exp(-1/2) of the way at 3/4.
                const auto threeQuarters = lastOver + std::size_t(0.75 * decay * rate);
                if (decay >= 0.024f) {
                    EXPECT_NEAR((out.left[threeQuarters] / 0.25 - atEnd) / (1.0 - atEnd), 0.39,
                                0.05)
                        << rate << " Hz, decay " << decay;
                }
            }
        }
    }
}

TEST(PeakLimiterDynamics, AttackTimeSetsHowFastTheGainBetweenPeaksFalls) {
    // A sustained over made of +6 dB clicks every 20 ms on a DC probe at 0.25. The look-ahead
    // turns each click down at once; between the clicks the gain falls towards the held required
    // gain (0.5), 63 % of the way within the attack time, counted from the moment the first click
    // enters the look-ahead window. The fall is a straight line on log(gain - 0.5), so the time
    // is interpolated on it between the two frames around the goal.
    for (const double rate : {44100.0, 48000.0}) {
        for (const float attack : {0.001f, 0.005f, 0.012f, 0.03f}) {
            auto limiter = preparedLimiter(rate, {attack, 0.06f, 0.0f});
            const std::size_t latency = limiter->latencySamples();
            const auto period = static_cast<std::size_t>(0.02 * rate);
            const auto first = static_cast<std::size_t>(0.1 * rate);
            std::vector<float> signal(static_cast<std::size_t>(0.5 * rate), 0.25f);
            for (std::size_t n = first; n < signal.size(); n += period)
                signal[n] = 2.0f;
            const Stereo out = run(*limiter, mono(signal), 512);
            EXPECT_LE(peakOf(out), 1.0f);
            const double goal = std::log(0.368 * 0.5);
            double previous = 0.0, seconds = -1.0;
            std::size_t previousFrame = 0;
            for (std::size_t n = first + 2 * latency + 2; n < out.frames() && seconds < 0; ++n) {
                const std::size_t sinceClick = (n - latency - first) % period;
                if (sinceClick <= latency + 1 || period - sinceClick <= latency + 1) continue;
                const double level = std::log(std::max(out.left[n] / 0.25 - 0.5, 1e-12));
                if (level <= goal && previousFrame != 0) {
                    const double at = previousFrame +
                                      (n - previousFrame) * (previous - goal) / (previous - level);
                    seconds = (at - static_cast<double>(first)) / rate;
                }
                previous = level;
                previousFrame = n;
            }
            EXPECT_NEAR(seconds, attack, 0.1 * attack) << rate << " Hz, attack " << attack;
        }
    }
}
