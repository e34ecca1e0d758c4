// Band splitter: crossovers, and each tone landing in its own band.
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
