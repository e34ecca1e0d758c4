// What each parameter does to the sound, measured on the output of the real plug-in rendered by a
// host at 44.1, 48 and 96 kHz. Levels are in dB relative to the tone that went in; times in ms.
#include <cmath>
#include <string>

#include "PluginHost.h"

namespace plugintest {
namespace {

constexpr AUParameterAddress kAttack = 0, kRelease = 1, kThreshold = 2, kRatio = 3, kGain = 4,
                             kMix = 5, kMode = 6, kBypass = 7, kAudition = 8, kReservedLow = 9,
                             kReservedHigh = 10, kFinalLimiter = 11;
constexpr double kSilent = -INFINITY;
const std::pair<AUParameterAddress, AUValue> kLimiterOff{kFinalLimiter, 0.0f};

Settings with(Settings settings, const Settings& more) {
    settings.insert(settings.end(), more.begin(), more.end());
    return settings;
}

// The tone's level in each channel, and the gain in dB each channel should come out with.
struct LevelCase {
    Settings settings;
    float left, right;
    double leftDb, rightDb;
};

class PluginSound : public PluginTest, public testing::WithParamInterface<double> {
protected:
    double rate() const { return GetParam(); }

    // Renders 0.3 s of each row's tone and compares the level of the last 0.1 s.
    void expectLevels(const std::vector<LevelCase>& rows, double tolerance = 0.1) {
        for (const LevelCase& row : rows) {
            Signal input(rate());
            input.tone(0.3, row.left, row.right);
            const Stereo out = play(with({kLimiterOff}, row.settings), input);
            const std::size_t from = input.frame(0.2);
            const double gains[2] = {decibels(level(out.left, from) / std::fabs(row.left)),
                                     decibels(level(out.right, from) / std::fabs(row.right))};
            const double expected[2] = {row.leftDb, row.rightDb};
            for (int c = 0; c < 2; ++c) {
                std::string what = (c == 0 ? "left" : "right");
                for (const auto& [address, value] : row.settings)
                    what +=
                        ", parameter " + std::to_string(address) + " = " + std::to_string(value);
                if (expected[c] == kSilent) {
                    EXPECT_LT(gains[c], -120.0) << what;
                } else {
                    EXPECT_NEAR(gains[c], expected[c], tolerance) << what;
                }
            }
        }
    }
    void expectLevels(const Settings& settings,
                      std::initializer_list<std::pair<float, double>> rows,
                      double tolerance = 0.1) {
        std::vector<LevelCase> cases;
        for (const auto& [tone, gain] : rows)
            cases.push_back({settings, tone, tone, gain, gain});
        expectLevels(cases, tolerance);
    }
};

// The threshold setting and the level in dBFS where gain reduction begins. With the ratio in the
// middle, tones below it pass unchanged and louder tones are held at it.
TEST_P(PluginSound, GainReductionBeginsAtTheThresholdAndHoldsLouderTonesThere) {
    const struct {
        float setting;
        double dBFS;
    } thresholds[] = {{0.0f, -5.80}, {0.25f, -3.38}, {0.5f, 0.0}, {0.8f, 7.33}, {1.0f, 26.02}};
    for (const auto& t : thresholds) {
        const auto at = [&](double dB) { return float(std::pow(10.0, (t.dBFS + dB) / 20.0)); };
        expectLevels(
            {{kThreshold, t.setting}, {kAttack, 0.01f}},
            {{at(-3), 0.0}, {at(-0.5), 0.0}, {at(1), -1.0}, {at(6), -6.0}, {at(12), -12.0}});
    }
}

// Below a threshold at 0 dBFS: the lowest ratio is a 1:2 expander (a tone 20 dB down comes out
// 40 dB down), the middle leaves the level alone, the highest lifts quiet tones by up to 6 dB.
TEST_P(PluginSound, RatioExpandsOrLiftsTonesBelowTheThreshold) {
    const struct {
        float ratio;
        double at6dB, at20dB, at40dB; // the gain for tones 6, 20 and 40 dB below the threshold
    } curves[] = {{0.0f, -6.02, -20.0, -40.0},
                  {0.25f, -2.50, -5.19, -5.93},
                  {0.5f, 0.0, 0.0, 0.0},
                  {0.75f, 1.94, 3.23, 3.49},
                  {1.0f, 3.52, 5.58, 5.98}};
    for (const auto& c : curves) {
        expectLevels({{kThreshold, 0.5f}, {kRatio, c.ratio}},
                     {{0.5f, c.at6dB}, {0.1f, c.at20dB}, {0.01f, c.at40dB}}, 0.15);
    }
    // A ratio below the published range, as a careless host may send, expands no further.
    expectLevels({{kThreshold, 0.5f}, {kRatio, -0.5f}}, {{0.5f, -6.02}, {0.1f, -20.0}});
}

// Make-up gain in dB, the mix as the share of the wet signal, and audition, which plays what the
// compander takes away (the dry signal minus the wet one, whatever the mix).
TEST_P(PluginSound, GainMixAndAuditionBlendTheWetAndDrySignals) {
    expectLevels({{kGain, 0.0f}}, {{0.1f, kSilent}});
    expectLevels({{kGain, 0.25f}}, {{0.1f, -6.02}});
    expectLevels({{kGain, 0.75f}}, {{0.1f, 3.52}});
    expectLevels({{kGain, 1.0f}}, {{0.1f, 6.02}});
    // With the wet signal silenced, the mix leaves 1 - mix of the dry one.
    expectLevels({{kGain, 0.0f}, {kMix, 0.0f}}, {{0.1f, 0.0}});
    expectLevels({{kGain, 0.0f}, {kMix, 0.25f}}, {{0.1f, -2.50}});
    expectLevels({{kGain, 0.0f}, {kMix, 0.5f}}, {{0.1f, -6.02}});
    expectLevels({{kGain, 1.0f}, {kMix, 0.5f}}, {{0.1f, 3.52}}); // half dry, half wet at +6 dB
    // The expander takes a tone 12 dB down to -24 dB, so 3/4 of it is taken away.
    const Settings expander{{kThreshold, 0.5f}, {kRatio, 0.0f}};
    expectLevels(expander, {{0.25f, -12.04}});
    expectLevels(with(expander, {{kAudition, 1.0f}}), {{0.25f, -2.50}});
    expectLevels(with(expander, {{kAudition, 1.0f}, {kMix, 0.5f}}), {{0.25f, -2.50}});
    expectLevels(with(expander, {{kAudition, 0.999f}}), {{0.25f, -12.04}});
    expectLevels(with(expander, {{kAudition, 1.0f}, {kGain, 0.0f}}), {{0.25f, 0.0}});
}

// With the expander of the lowest ratio, each channel's gain is the level its detector sees:
// modes 0 and 2 detect each channel on its own, mode 1 both on the mid (L + R) / 2, mode 3 both
// on the left channel. A fractional mode is the mode below it.
TEST_P(PluginSound, LinkModesDecideWhichDetectorSetsEachChannelsGain) {
    const auto mode = [](float m) {
        return Settings{{kThreshold, 0.5f}, {kRatio, 0.0f}, {kMode, m}};
    };
    expectLevels({{mode(0), 0.5f, 0.25f, -6.02, -12.04},
                  {mode(2), 0.5f, 0.25f, -6.02, -12.04},
                  {mode(2.9f), 0.5f, 0.25f, -6.02, -12.04},
                  {mode(1), 0.5f, 0.25f, -8.52, -8.52},
                  {mode(1), 0.25f, 0.5f, -8.52, -8.52},
                  {mode(1), 0.5f, -0.5f, kSilent, kSilent}, // no mid at all
                  {mode(3), 0.5f, 0.25f, -6.02, -6.02},
                  {mode(3), 0.25f, 0.5f, -12.04, -12.04}});
}

// The time from a step in the input to the moment the expander of the lowest ratio has moved
// half-way: the detector ramps linearly, so that is half the attack or release time (the release
// after a hold of 0.1 ms). A time set before the host prepares the plug-in counts, and so does
// one set while it plays.
TEST_P(PluginSound, AttackAndReleaseTakeTheirTimeInMillisecondsAtEveryRate) {
    const Settings expander{kLimiterOff, {kThreshold, 0.5f}, {kRatio, 0.0f}};
    // Time from `from` (s) to the first frame whose magnitude passes `level`, in ms.
    const auto msUntil = [&](const std::vector<float>& out, double from, auto passes) {
        std::size_t n = std::size_t(from * rate());
        while (n < out.size() && !passes(std::fabs(out[n])))
            ++n;
        return (double(n) - from * rate()) * 1000.0 / rate();
    };
    for (const bool playing : {false, true}) {
        for (const float attack : {0.01f, 0.1f, 1.0f}) {
            // Silence, then a full-scale tone that fades in as the detector rises.
            Signal input(rate());
            input.silence(0.01).tone(attack + 0.01, 1.0f);
            const Settings time{{kAttack, attack}};
            const Stereo out =
                play(playing ? expander : with(expander, time), input, playing ? time : Settings{});
            EXPECT_NEAR(msUntil(out.left, 0.01, [](float x) { return x >= 0.5f; }), attack * 500.0,
                        2000.0 / rate() + attack * 5.0)
                << "attack " << attack << (playing ? " set while playing" : "");
        }
        for (const float release : {0.05f, 0.5f, 1.0f}) {
            // A full-scale burst, then a tone 40 dB down that the expander closes on.
            Signal input(rate());
            input.tone(0.05, 1.0f).tone(release, 0.01f);
            const Settings time{{kAttack, 0.01f}, {kRelease, release}};
            const Stereo out =
                play(playing ? expander : with(expander, time), input, playing ? time : Settings{});
            EXPECT_NEAR(msUntil(out.right, 0.05, [](float x) { return x <= 0.005f; }),
                        release * 500.0 + 0.1, 2000.0 / rate() + release * 10.0)
                << "release " << release << (playing ? " set while playing" : "");
        }
    }
}

// Each way of switching processing off gives back the input sample for sample: the bypass
// parameter, either reserved parameter off its default, and the unit's own bypass.
TEST_P(PluginSound, BypassesGiveBackTheInputUntouched) {
    const Settings audible{kLimiterOff, {kThreshold, 0.5f}, {kRatio, 0.0f}, {kGain, 1.0f}};
    Signal input(rate());
    input.tone(0.05, 0.25f, 0.5f).silence(0.01).tone(0.05, 0.1f, -0.1f);
    for (const Settings& off : {Settings{{kBypass, 1.0f}}, Settings{{kReservedLow, 0.2f}},
                                Settings{{kReservedHigh, 0.99f}}, Settings{}}) {
        const auto unit = instantiate(audible);
        ASSERT_TRUE(unit);
        set(*unit, off);
        if (off.empty()) unit->setShouldBypassEffect(true);
        const Stereo out = render(unit, rate(), input.samples);
        EXPECT_TRUE(out.left == input.samples.left && out.right == input.samples.right)
            << (off.empty() ? "the unit's bypass" : "parameter " + std::to_string(off[0].first));
    }
}

// A tone at +7 dBFS: the final limiter, on only at exactly 1, holds both channels just below
// 0 dBFS, also while the bypass parameter is on; the unit's own bypass lets it through.
TEST_P(PluginSound, TheFinalLimiterKeepsTheOutputAtOrBelowFullScale) {
    Signal input(rate());
    input.tone(0.2, 2.24f, -2.24f);
    const struct {
        Settings settings;
        bool unitBypassed;
        bool limited;
    } cases[] = {{{}, false, true},
                 {{{kBypass, 1.0f}}, false, true},
                 {{kLimiterOff}, false, false},
                 {{{kFinalLimiter, 0.999f}}, false, false},
                 {{}, true, false}};
    for (const auto& c : cases) {
        const auto unit = instantiate(c.settings);
        ASSERT_TRUE(unit);
        unit->setShouldBypassEffect(c.unitBypassed);
        const Stereo out = render(unit, rate(), input.samples);
        for (const auto* channel : {&out.left, &out.right}) {
            if (c.limited) {
                EXPECT_LE(peak(*channel), 1.0f);
                EXPECT_GT(peak(*channel), 0.9f);
            } else {
                EXPECT_NEAR(peak(*channel), 2.24f, 0.01f);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HostRates, PluginSound, testing::Values(44100.0, 48000.0, 96000.0),
                         [](const testing::TestParamInfo<double>& info) {
                             return std::to_string(int(info.param)) + "Hz";
                         });

} // namespace
} // namespace plugintest
