// Band splitter and state-variable filter: crossovers, band sums, band physics, reset.
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "BandSplitFilter3.h"
#include "support/Signals.h"

namespace {

double rms(const float* x, int n) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / n);
}

} // namespace

TEST(BandSplitFilter3, CrossoversStayInOrderAndIgnoreValuesOutsideZeroToOne) {
    auto splitter = std::make_unique<BandSplitFilter3>();
    splitter->setCutoff1(0.8f);
    EXPECT_EQ(splitter->fCutoff1, 0.666f);
    splitter->setCutoff1(0.333f);
    splitter->setCutoff2(0.2f);
    EXPECT_EQ(splitter->fCutoff2, 0.333f);
    splitter->setCutoff2(0.666f);
    for (float bad : {-0.1f, 1.5f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity()}) {
        splitter->setCutoff1(bad);
        splitter->setCutoff2(bad);
    }
    EXPECT_EQ(splitter->fCutoff1, 0.333f);
    EXPECT_EQ(splitter->fCutoff2, 0.666f);
    EXPECT_EQ(splitter->lpf[0].fCutoff, 0.333f);
    EXPECT_EQ(splitter->hpf[1].fCutoff, 0.666f);
}

TEST(BandSplitFilter3, BandsSumToTheInputForAtMost4096FramesAndLeaveTheChannelsUnchanged) {
    auto splitter = std::make_unique<BandSplitFilter3>();
    auto signal = testsignals::musicLike(5000);
    const auto original = signal;
    splitter->split(signal.left.data(), signal.right.data(), 5000);
    EXPECT_EQ(signal.left, original.left);
    EXPECT_EQ(signal.right, original.right);
    for (int c = 0; c < 2; ++c) {
        const auto& input = c == 0 ? original.left : original.right;
        for (int i = 0; i < 4096; ++i) {
            const float sum =
                splitter->bufferLP[c][i] + splitter->bufferBP[c][i] + splitter->bufferHP[c][i];
            ASSERT_NEAR(sum, input[i], 1e-6f) << "channel " << c << " frame " << i;
        }
    }
    splitter->split(signal.left.data(), signal.right.data(), -5);
    splitter->split(signal.left.data(), signal.right.data(), 0);
}

TEST(BandSplitFilter3, LowToneLandsInTheLowBandAndHighToneInTheHighBand) {
    for (const double frequency : {40.0, 12000.0}) {
        auto splitter = std::make_unique<BandSplitFilter3>();
        splitter->setCutoff1(0.5f); // low-pass near 120 Hz
        splitter->setCutoff2(0.8f); // high-pass near 1.5 kHz
        const auto tone = testsignals::sine(4096, frequency, 0.5);
        splitter->split(tone.left.data(), tone.right.data(), 4096);
        const int settled = 2048; // skip the transient
        const double in = rms(tone.left.data() + settled, 2048);
        const double low = rms(splitter->bufferLP[0] + settled, 2048) / in;
        const double high = rms(splitter->bufferHP[0] + settled, 2048) / in;
        EXPECT_GT(frequency < 100.0 ? low : high, 0.7) << frequency << " Hz";
        EXPECT_LT(frequency < 100.0 ? high : low, 0.05) << frequency << " Hz";
    }
}

TEST(BandSplitFilter3, ResetClearsBuffersAndStatesAndCentresEveryFilter) {
    auto splitter = std::make_unique<BandSplitFilter3>();
    auto signal = testsignals::musicLike(1024);
    splitter->split(signal.left.data(), signal.right.data(), 1024);
    splitter->reset();
    EXPECT_EQ(splitter->bufferHP[1][500], 0.0f);
    EXPECT_EQ(splitter->hpf[0].b1, 0.0f);
    EXPECT_EQ(splitter->lpf[1].r3, 0.0f);
    EXPECT_EQ(splitter->lpf[0].fCutoff, 0.5f);
    EXPECT_EQ(splitter->fCutoff1, 0.333f) << "the crossover values are kept";
}

TEST(SVFilter4Pole1, UnchangedCutoffKeepsItsCoefficientsAndRestMayBeTheInputsOwnPlace) {
    SVFilter4Pole1 a, b;
    a.setCutoff(0.5f);
    a.cq = 123.0f; // a marker: an unchanged cutoff must not recompute
    a.setCutoff(0.5f);
    EXPECT_EQ(a.cq, 123.0f);
    a.setCutoff(0.4f);
    b.setCutoff(0.4f);
    const auto signal = testsignals::musicLike(256);
    std::vector<float> inPlace = signal.left, out1(256), out2(256), rest(256);
    a.processBufferLP(inPlace.data(), out1.data(), inPlace.data(), 256);
    b.processBufferLP(signal.left.data(), out2.data(), rest.data(), 256);
    EXPECT_EQ(out1, out2);
    EXPECT_EQ(inPlace, rest);
}
