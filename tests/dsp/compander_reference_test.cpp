// Compander2 against a reference model written here, sample by sample, from the description of the
// algorithm (linear follower ramps with hold, drive, gain factor, make-up gain, mix, detector
// modes), without calling the code under test.
#include <cmath>
#include <cstdint>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "Compander2.h"
#include "support/Signals.h"

namespace {

struct ReferenceFollower {
    float rate = 48000.0f;
    double peak = 0.0;
    double up = 0.0;
    double down = 0.0;
    int hold = 0;
    int holdReload = 0;

    ReferenceFollower(float attack, float release) {
        const float attackSamples = std::max(attack * rate, 16.0f);
        const float releaseSamples = std::max(release * rate, 16.0f);
        up = 1.0 / attackSamples;
        down = 1.0 / releaseSamples;
        holdReload = static_cast<int>(0.0001f * rate);
        hold = holdReload;
    }

    void feed(float sample) {
        const double level = std::fabs(static_cast<double>(sample));
        if (level > peak) {
            peak += up;
            hold = holdReload;
        } else if (level < peak) {
            const int h = hold--;
            if (h <= 0) {
                hold = 0;
                peak = std::max(peak - down, 0.0);
            }
        }
    }
};

struct ReferenceCompander {
    ReferenceFollower detector[2];
    ReferenceFollower meter[2]{{0.01f, 0.5f}, {0.01f, 0.5f}};
    float drive, inverseDrive, multiplier, gain, mix;
    int mode;
    bool inverted;

    ReferenceCompander(float attack, float release, float threshold, float ratio, float gainSetting,
                       float mixSetting, int modeSetting, bool invertedSetting)
        : detector{{attack, release}, {attack, release}} {
        drive = std::max(0.05f + (1.0f - threshold) * 1.9f, 0.01f);
        inverseDrive = 1.0f / drive;
        multiplier = std::max(2.0f * ratio - 1.0f, -1.0f);
        gain = 2.0f * gainSetting;
        mix = mixSetting;
        mode = modeSetting;
        inverted = invertedSetting;
    }

    float factorOf(const ReferenceFollower& f) const {
        const auto p = static_cast<float>(f.peak);
        if (p == 1.0f) return 1.0f;
        if (p > 1.0f) return 1.0f / p;
        return 1.0f + (1.0f - std::clamp(p, 0.0f, 1.0f)) * multiplier;
    }

    void process(float& left, float& right) {
        const float xL = left * drive;
        const float xR = right * drive;
        if (mode == 1) {
            detector[0].feed((xL + xR) * 0.5f);
            detector[1].feed((xL - xR) * 0.5f);
        } else {
            detector[0].feed(xL);
            detector[1].feed(xR);
        }
        const float fL = factorOf(detector[0]);
        const float fR = (mode == 1 || mode == 3) ? fL : factorOf(detector[1]);
        const float yL = (xL * fL) * (inverseDrive * gain);
        const float yR = (xR * fR) * (inverseDrive * gain);
        if (inverted) {
            left -= yL;
            right -= yR;
        } else {
            left = yL * mix + left * (1.0f - mix);
            right = yR * mix + right * (1.0f - mix);
        }
        if (mode == 1) {
            meter[0].feed((yL + yR) * 0.5f);
            meter[1].feed((yL - yR) * 0.5f);
        } else {
            meter[0].feed(yL);
            meter[1].feed(yR);
        }
    }
};

struct Setting {
    float threshold;
    float ratio;
};

std::string settingName(const ::testing::TestParamInfo<std::tuple<int, Setting>>& info) {
    const int mode = std::get<0>(info.param);
    const Setting s = std::get<1>(info.param);
    return "Mode" + std::to_string(mode) + "Threshold" +
           std::to_string(static_cast<int>(std::lround(s.threshold * 100))) + "Ratio" +
           std::to_string(static_cast<int>(std::lround(s.ratio * 100)));
}

class CompanderMatchesReference : public ::testing::TestWithParam<std::tuple<int, Setting>> {};

} // namespace

TEST_P(CompanderMatchesReference, OverTwoSecondsOfMusicLikeSignal) {
    const auto [mode, setting] = GetParam();
    const float attack = 0.004f, release = 0.08f, gainSetting = 0.45f, mixSetting = 0.85f;

    Compander2 compander;
    compander.setAttack(attack);
    compander.setRelease(release);
    compander.setThreshold(setting.threshold);
    compander.setMultiplier(2.0f * setting.ratio - 1.0f);
    compander.setGain(gainSetting);
    compander.setMix(mixSetting);
    compander.setMode(mode);
    ReferenceCompander model(attack, release, setting.threshold, setting.ratio, gainSetting,
                             mixSetting, mode, false);

    auto signal = testsignals::musicLike(96000);
    auto expected = signal;
    for (std::size_t i = 0; i < expected.size(); ++i)
        model.process(expected.left[i], expected.right[i]);

    // Uneven blocks, as a render cycle cut at event times delivers them.
    std::size_t done = 0;
    for (std::size_t block = 1; done < signal.size(); block = block * 7 % 1021 + 1) {
        const std::size_t n = std::min(block, signal.size() - done);
        compander.processBuffers(signal.left.data() + done, signal.right.data() + done,
                                 static_cast<std::int64_t>(n));
        done += n;
    }

    for (std::size_t i = 0; i < signal.size(); ++i) {
        ASSERT_NEAR(signal.left[i], expected.left[i], 1e-6f) << "frame " << i;
        ASSERT_NEAR(signal.right[i], expected.right[i], 1e-6f) << "frame " << i;
    }
    EXPECT_NEAR(compander.getFactorL(), model.factorOf(model.detector[0]), 1e-6f);
    EXPECT_NEAR(compander.getPeakOutL(), static_cast<float>(model.meter[0].peak), 1e-6f);
    EXPECT_NEAR(compander.getPeakOutR(), static_cast<float>(model.meter[1].peak), 1e-6f);
}

INSTANTIATE_TEST_SUITE_P(ModesAndSettings, CompanderMatchesReference,
                         ::testing::Combine(::testing::Values(0, 1, 3),
                                            ::testing::Values(Setting{0.8f, 0.5f},
                                                              Setting{0.3f, 0.9f},
                                                              Setting{0.95f, 0.1f})),
                         settingName);

TEST(CompanderMatchesReference, InvertedOutputOverOneSecond) {
    Compander2 compander;
    compander.setThreshold(0.3f);
    compander.setMultiplier(0.6f);
    compander.setInverted(true);
    ReferenceCompander model(0.01f, 0.5f, 0.3f, 0.8f, 0.5f, 1.0f, 0, true);
    auto signal = testsignals::musicLike(48000);
    auto expected = signal;
    for (std::size_t i = 0; i < expected.size(); ++i)
        model.process(expected.left[i], expected.right[i]);
    compander.processBuffers(signal.left.data(), signal.right.data(), 48000);
    for (std::size_t i = 0; i < signal.size(); ++i) {
        ASSERT_NEAR(signal.left[i], expected.left[i], 1e-6f) << "frame " << i;
    }
}
