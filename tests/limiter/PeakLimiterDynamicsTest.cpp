// How the gain moves: decay (release), attack, and the distortion it adds to a sustained over.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "LimiterSignals.h"

using namespace limiter_test;

TEST(PeakLimiterDynamics, AfterABurstTheGainRecovers63PercentWithinTheDecayTime) {
    // A +12 dB DC burst, then a DC probe at 0.25: the gain is output / 0.25 once the probe leaves
    // the delay. Time is counted from the burst's last frame leaving the delay.
    for (const double rate : {44100.0, 48000.0}) {
        for (const float decay : {0.001f, 0.005f, 0.024f, 0.06f}) {
            for (const float attack : {0.001f, 0.03f}) {
                auto limiter = preparedLimiter(rate, {attack, decay, 0.0f});
                const auto burst = static_cast<std::size_t>(0.3 * rate);
                std::vector<float> signal(burst + static_cast<std::size_t>(0.4 * rate), 0.25f);
                std::fill(signal.begin(), signal.begin() + static_cast<std::ptrdiff_t>(burst),
                          4.0f);
                const Stereo out = run(*limiter, mono(signal), 512);
                const std::size_t lastOver = burst - 1 + limiter->latencySamples();
                const double atEnd = out.left[lastOver] / 4.0;
                const double goal = atEnd + 0.632 * (1.0 - atEnd);
                std::size_t n = lastOver + 1;
                while (n < out.frames() && out.left[n] / 0.25 < goal)
                    ++n;
                const double seconds = (n - lastOver) / rate;
                EXPECT_NEAR(seconds, decay, 0.1 * decay)
                    << rate << " Hz, decay " << decay << ", attack " << attack;
                EXPECT_NEAR(atEnd, 0.25, 1e-3);
                if (attack == 0.03f)
                    std::printf("[ measured ] decay %.3f s at %.0f Hz: 63 %% recovery after "
                                "%.4f s (%+.1f %%)\n",
                                decay, rate, seconds, 100.0 * (seconds - decay) / decay);
            }
        }
    }
}

namespace {

// Time from `start` until the gain, sampled at `frames` (sorted) as `gains`, first falls 63 % of
// the way from 1 to `floor`. Interpolated on log(gain - floor), which is a straight line for a
// one-pole fall, so the answer does not depend on where the samples happen to lie.
double timeTo63Percent(const std::vector<std::size_t>& frames, const std::vector<double>& gains,
                       double floor, std::size_t start, double rate) {
    const double goal = std::log(0.368 * (1.0 - floor));
    for (std::size_t k = 1; k < gains.size(); ++k) {
        if (gains[k] - floor > 0.368 * (1.0 - floor)) continue;
        const double a = std::log(std::max(gains[k - 1] - floor, 1e-12));
        const double b = std::log(std::max(gains[k] - floor, 1e-12));
        const double at = frames[k - 1] + (frames[k] - frames[k - 1]) * (a - goal) / (a - b);
        return (at - static_cast<double>(start)) / rate;
    }
    return -1.0;
}

} // namespace

TEST(PeakLimiterDynamics, AttackTimeSetsHowFastTheGainBetweenPeaksFalls) {
    // A sustained over made of +6 dB clicks every 20 ms on a DC probe at 0.25. The look-ahead
    // turns each click down at once; between the clicks the gain falls towards the held required
    // gain (about 0.5), 63 % of the way within the attack time, counted from the moment the first
    // click enters the look-ahead window.
    for (const double rate : {44100.0, 48000.0}) {
        double previous = 0.0;
        for (const float attack : {0.001f, 0.005f, 0.012f, 0.03f}) {
            auto limiter = preparedLimiter(rate, {attack, 0.06f, 0.0f});
            const std::size_t latency = limiter->latencySamples();
            const auto period = static_cast<std::size_t>(0.02 * rate);
            const std::size_t first = static_cast<std::size_t>(0.1 * rate);
            std::vector<float> signal(static_cast<std::size_t>(0.5 * rate), 0.25f);
            for (std::size_t n = first; n < signal.size(); n += period)
                signal[n] = 2.0f;
            const Stereo out = run(*limiter, mono(signal), 512);

            // Gains between the clicks, away from the look-ahead ramps around them.
            std::vector<std::size_t> frames;
            std::vector<double> gains;
            for (std::size_t n = first + 2 * latency + 2; n < out.frames(); ++n) {
                const std::size_t input = n - latency;
                const std::size_t sinceClick = (input - first) % period;
                if (sinceClick <= latency + 1 || period - sinceClick <= latency + 1) continue;
                frames.push_back(n);
                gains.push_back(out.left[n] / 0.25);
            }
            const double held = 1.0 / 2.0;
            const double seconds = timeTo63Percent(frames, gains, held, first, rate);
            EXPECT_NEAR(seconds, attack, 0.1 * attack) << rate << " Hz, attack " << attack;
            EXPECT_GT(seconds, previous) << "a longer attack falls more slowly";
            previous = seconds;
            // The clicks themselves never pass the ceiling, however slow the attack.
            EXPECT_LE(peakOf(out), 1.0f);
            std::printf("[ measured ] attack %.3f s at %.0f Hz: gain between peaks 63 %% down "
                        "after %.4f s (%+.1f %%)\n",
                        attack, rate, seconds, 100.0 * (seconds - attack) / attack);
        }
    }
}

TEST(PeakLimiterDynamics, DistortionOfASineSixDecibelsOverStaysLowWithTheSystemSettings) {
    // THD+N with attack 0.03 s, decay 0.06 s, pre-gain -0.01 dB, over the second half of two
    // seconds (the gain has settled): at most -40 dB at 100 Hz and -60 dB at 1 kHz.
    for (const double rate : {44100.0, 48000.0}) {
        for (const double frequency : {100.0, 1000.0}) {
            auto limiter = preparedLimiter(rate, kSystemSettings);
            const auto frames = static_cast<std::size_t>(2 * rate);
            const Stereo input = mono(sine(rate, frequency, decibelsToGain(6.0), frames));
            const Stereo out = run(*limiter, input, 512);
            const double thdn = thdPlusNoiseDb(out.left, rate, frequency, frames / 2, frames);
            EXPECT_LE(thdn, frequency < 500.0 ? -40.0 : -60.0) << rate << " Hz";
            EXPECT_LE(peakOf(out), 1.0f);
            EXPECT_GT(peakOf(out, frames / 2), 0.99f) << "the sine is limited, not just attenuated";
            std::printf("[ measured ] THD+N of %4.0f Hz, 6 dB over, at %.0f Hz: %.1f dB\n",
                        frequency, rate, thdn);
        }
    }
}

TEST(PeakLimiterDynamics, ASustainedOverSettlesAtTheCeilingWithoutPumping) {
    // Hold keeps the gain steady for any over whose half period fits in half the decay time:
    // a 40 Hz sine at +12 dB with the system settings settles to a flat gain.
    const double rate = 48000.0;
    auto limiter = preparedLimiter(rate, kSystemSettings);
    const auto frames = static_cast<std::size_t>(rate);
    const Stereo input = mono(sine(rate, 40.0, 4.0, frames));
    const Stereo out = run(*limiter, input, 512);
    const std::size_t latency = limiter->latencySamples();
    double lowest = 2.0;
    double highest = 0.0;
    for (std::size_t n = frames / 2; n < frames; ++n) {
        const double in = input.left[n - latency] * decibelsToGain(-0.01);
        if (std::fabs(in) < 0.5) continue;
        lowest = std::min(lowest, out.left[n] / in);
        highest = std::max(highest, out.left[n] / in);
    }
    EXPECT_LT((highest - lowest) / lowest, 1e-4);
    EXPECT_NEAR(highest, 0.25 / decibelsToGain(-0.01), 1e-3);
}
