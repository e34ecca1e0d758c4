// Compander2's block loop, which runs both channels side by side, against the per-sample rule
// applied one channel and one frame at a time: the same result to the last bit, and each channel
// with its own gain factor on either side of full scale.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "Compander2.h"
#include "Follower.h"
#include "support/Signals.h"

namespace {

struct Settings {
    float threshold = 0.8f;
    float multiplier = 0.6f;
    float gain = 0.5f;
    float mix = 1.0f;
};

// The per-sample rule, channel by channel, with the library's own single-sample follower.
struct FrameByFrame {
    Follower detector[2];
    Follower meter[2];
    float drive, inverseDrive, multiplier, gain, mix;
    int mode;
    bool inverted;
    float factor[2] = {1.0f, 1.0f};

    FrameByFrame(const Settings& s, int modeSetting, bool invertedSetting)
        : multiplier(s.multiplier), gain(2.0f * s.gain), mix(s.mix), mode(modeSetting),
          inverted(invertedSetting) {
        drive = 0.05f + (1.0f - s.threshold) * 1.9f;
        inverseDrive = 1.0f / drive;
        for (Follower& f : detector) {
            f.setAttack(0.002f);
            f.setRelease(0.05f);
        }
    }

    float factorOf(const Follower& f) const {
        const float p = f.getPeak();
        return p > 1.0f ? 1.0f / p : 1.0f + (1.0f - p) * multiplier;
    }

    void process(float& left, float& right) {
        const float xL = left * drive;
        const float xR = right * drive;
        float dL = xL, dR = xR;
        if (mode == 1) {
            dL = (xL + xR) * 0.5f;
            dR = (xL - xR) * 0.5f;
        }
        detector[0].processSample(&dL);
        detector[1].processSample(&dR);
        factor[0] = factorOf(detector[0]);
        factor[1] = (mode == 1 || mode == 3) ? factor[0] : factorOf(detector[1]);
        const float makeUp = inverseDrive * gain;
        const float yL = (xL * factor[0]) * makeUp;
        const float yR = (xR * factor[1]) * makeUp;
        if (inverted) {
            left = left - yL;
            right = right - yR;
        } else {
            left = yL * mix + left * (1.0f - mix);
            right = yR * mix + right * (1.0f - mix);
        }
        float mL = yL, mR = yR;
        if (mode == 1) {
            mL = (yL + yR) * 0.5f;
            mR = (yL - yR) * 0.5f;
        }
        meter[0].processSample(&mL);
        meter[1].processSample(&mR);
    }
};

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

class CompanderBlockLoop : public ::testing::TestWithParam<std::tuple<int, bool>> {};

// The hot signal drives the detectors above full scale (factor 1 / peak) on some frames and one
// channel only on others; the blocks are uneven, so state carries across block boundaries.
TEST_P(CompanderBlockLoop, EqualsThePerSampleRuleBitForBit) {
    const auto [mode, inverted] = GetParam();
    for (const Settings& settings :
         {Settings{}, Settings{0.3f, -0.7f, 0.65f, 0.4f}, Settings{0.95f, 1.5f, 0.3f, 1.2f}}) {
        Compander2 compander;
        compander.setThreshold(settings.threshold);
        compander.setMultiplier(settings.multiplier);
        compander.setGain(settings.gain);
        compander.setMix(settings.mix);
        compander.setAttack(0.002f);
        compander.setRelease(0.05f);
        compander.setMode(mode);
        compander.setInverted(inverted);
        FrameByFrame model(settings, mode, inverted);

        testsignals::Stereo signal = testsignals::hot(24000);
        testsignals::Stereo expected = signal;
        for (std::size_t i = 0; i < expected.size(); ++i)
            model.process(expected.left[i], expected.right[i]);

        const std::size_t blocks[] = {1, 3, 64, 509, 4096};
        std::size_t at = 0;
        for (std::size_t k = 0; at < signal.size(); ++k) {
            const std::size_t n = std::min(blocks[k % 5], signal.size() - at);
            compander.processBuffers(signal.left.data() + at, signal.right.data() + at,
                                     static_cast<std::int64_t>(n));
            at += n;
        }

        for (std::size_t i = 0; i < signal.size(); ++i) {
            ASSERT_TRUE(sameBits(signal.left[i], expected.left[i])) << "left, frame " << i;
            ASSERT_TRUE(sameBits(signal.right[i], expected.right[i])) << "right, frame " << i;
        }
        EXPECT_TRUE(sameBits(compander.getFactorL(), model.factor[0]));
        EXPECT_TRUE(sameBits(compander.getFactorR(), model.factor[1]));
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(compander.inputFollower[c].currentPeak, model.detector[c].currentPeak);
            EXPECT_EQ(compander.inputFollower[c].decayTime, model.detector[c].decayTime);
            EXPECT_EQ(compander.outputFollower[c].currentPeak, model.meter[c].currentPeak);
            EXPECT_EQ(compander.outputFollower[c].decayTime, model.meter[c].decayTime);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CompanderBlockLoop,
                         ::testing::Combine(::testing::Values(0, 1, 3, 7), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>>& info) {
                             return "Mode" + std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Inverted" : "");
                         });

// Holds each detector at its peak for the next (silent) frame and returns both factors.
std::pair<float, float> factorsAt(double leftPeak, double rightPeak) {
    Compander2 compander;
    compander.setMultiplier(0.6f);
    compander.inputFollower[0].currentPeak = leftPeak;
    compander.inputFollower[1].currentPeak = rightPeak;
    compander.inputFollower[0].decayTime = 1000;
    compander.inputFollower[1].decayTime = 1000;
    float l = 0.0f, r = 0.0f;
    compander.processBuffers(&l, &r, 1);
    return {compander.getFactorL(), compander.getFactorR()};
}

TEST(CompanderBlockLoop, EachChannelTakesItsOwnFactorOnEitherSideOfFullScale) {
    const float belowFactor = 1.0f + (1.0f - 0.25f) * 0.6f;
    EXPECT_EQ(factorsAt(2.0, 0.25), std::make_pair(0.5f, belowFactor));
    EXPECT_EQ(factorsAt(0.25, 4.0), std::make_pair(belowFactor, 0.25f));
    EXPECT_EQ(factorsAt(2.0, 4.0), std::make_pair(0.5f, 0.25f));
    EXPECT_EQ(factorsAt(1.0, 0.0), std::make_pair(1.0f, 1.6f));
}

} // namespace
