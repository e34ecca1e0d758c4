// Compander2 against a reference model written here, sample by sample, from the description of the
// algorithm (linear follower ramps with hold, drive, gain factor, make-up gain, mix or inverted
// output, detector modes), without calling the code under test.
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
    double peak = 0.0, up = 0.0, down = 0.0;
    int hold = 0, holdReload = 0;
    ReferenceFollower(float attack, float release) {
        up = 1.0 / std::max(attack * rate, 16.0f);
        down = 1.0 / std::max(release * rate, 16.0f);
        holdReload = static_cast<int>(0.0001f * rate);
        hold = holdReload;
    }
    void feed(float sample) {
        const double level = std::fabs(static_cast<double>(sample));
        if (level > peak) {
            peak += up;
            hold = holdReload;
        } else if (level < peak && hold-- <= 0) {
            hold = 0;
            peak = std::max(peak - down, 0.0);
        }
    }
};

struct Setting {
    float threshold, ratio, gain, mix;
};

struct ReferenceCompander {
    ReferenceFollower detector[2];
    ReferenceFollower meter[2]{{0.01f, 0.5f}, {0.01f, 0.5f}};
    float drive, multiplier, makeUp, mix;
    int mode;
    bool inverted;
    ReferenceCompander(float attack, float release, Setting s, int modeSetting, bool invert)
        : detector{{attack, release}, {attack, release}}, mix(s.mix), mode(modeSetting),
          inverted(invert) {
        drive = std::max(0.05f + (1.0f - s.threshold) * 1.9f, 0.01f);
        multiplier = std::max(2.0f * s.ratio - 1.0f, -1.0f);
        makeUp = (1.0f / drive) * (2.0f * s.gain);
    }
    float factorOf(const ReferenceFollower& f) const {
        const auto p = static_cast<float>(f.peak);
        if (p > 1.0f) return 1.0f / p;
        return 1.0f + (1.0f - std::clamp(p, 0.0f, 1.0f)) * multiplier;
    }
    void process(float& left, float& right) {
        const float xL = left * drive, xR = right * drive;
        const bool midSide = mode == 1, linked = mode == 1 || mode == 3;
        detector[0].feed(midSide ? (xL + xR) * 0.5f : xL);
        detector[1].feed(midSide ? (xL - xR) * 0.5f : xR);
        const float fL = factorOf(detector[0]);
        const float fR = linked ? fL : factorOf(detector[1]);
        const float yL = (xL * fL) * makeUp, yR = (xR * fR) * makeUp;
        left = inverted ? left - yL : yL * mix + left * (1.0f - mix);
        right = inverted ? right - yR : yR * mix + right * (1.0f - mix);
        meter[0].feed(midSide ? (yL + yR) * 0.5f : yL);
        meter[1].feed(midSide ? (yL - yR) * 0.5f : yR);
    }
};

class CompanderMatchesReference : public ::testing::TestWithParam<std::tuple<int, bool>> {};

} // namespace

// The hot signal drives the detectors above full scale (factor 1 / peak) on some frames and one
// channel only on others; the blocks are uneven, so state carries across block boundaries. The
// settings reach the drive's floor (threshold 1.5) and the multiplier's (ratio -2).
TEST_P(CompanderMatchesReference, OverHalfASecondOfHotMusicInUnevenBlocks) {
    const auto [mode, inverted] = GetParam();
    const float attack = 0.002f, release = 0.05f;
    for (const Setting s : {Setting{0.8f, 0.5f, 0.45f, 0.85f}, Setting{0.3f, 0.9f, 0.65f, 0.4f},
                            Setting{0.95f, 0.1f, 0.3f, 1.2f}, Setting{1.5f, -2.0f, 0.5f, 1.0f}}) {
        Compander2 compander;
        compander.setAttack(attack);
        compander.setRelease(release);
        compander.setThreshold(s.threshold);
        compander.setMultiplier(2.0f * s.ratio - 1.0f);
        compander.setGain(s.gain);
        compander.setMix(s.mix);
        compander.setMode(mode);
        compander.setInverted(inverted);
        ReferenceCompander model(attack, release, s, mode, inverted);
        auto signal = testsignals::hot(24000);
        auto expected = signal;
        for (std::size_t i = 0; i < expected.size(); ++i)
            model.process(expected.left[i], expected.right[i]);
        const std::size_t blocks[] = {1, 3, 64, 509, 4096};
        for (std::size_t at = 0, k = 0; at < signal.size(); ++k) {
            const std::size_t n = std::min(blocks[k % 5], signal.size() - at);
            compander.processBuffers(signal.left.data() + at, signal.right.data() + at,
                                     static_cast<std::int64_t>(n));
            at += n;
        }
        for (std::size_t i = 0; i < signal.size(); ++i) {
            ASSERT_NEAR(signal.left[i], expected.left[i], 1e-6f * (1 + std::fabs(expected.left[i])))
                << "threshold " << s.threshold << ", frame " << i;
            ASSERT_NEAR(signal.right[i], expected.right[i],
                        1e-6f * (1 + std::fabs(expected.right[i])))
                << "threshold " << s.threshold << ", frame " << i;
        }
        EXPECT_NEAR(compander.getFactorL(), model.factorOf(model.detector[0]), 1e-6f);
        EXPECT_NEAR(compander.getPeakOutL(), static_cast<float>(model.meter[0].peak), 1e-5f);
        EXPECT_NEAR(compander.getPeakOutR(), static_cast<float>(model.meter[1].peak), 1e-5f);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CompanderMatchesReference,
                         ::testing::Combine(::testing::Values(0, 1, 3, 7), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>>& info) {
                             return "Mode" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Inverted" : "");
                         });
