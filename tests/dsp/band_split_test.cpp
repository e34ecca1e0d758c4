// Band splitter: crossovers, and each tone landing in its own band; the mid/side holder and the
// value holder the filters carry.
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "BandSplitFilter3.h"
#include "Orvex_Compander_Extension_DSPKernel.h"
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

// The kernel relies on its mid/side holder being silent after construction and after every reset.
TEST(MidSideSplitter, BothBuffersAreZeroAfterConstructionAndEveryClearTheKernelsResetIncluded) {
    const auto dirty = [](MidSideSplitter& holder) {
        for (auto& buffer : holder.buffer)
            std::fill(std::begin(buffer), std::end(buffer), 0.75f);
    };
    const auto silent = [](const MidSideSplitter& holder) {
        for (const auto& buffer : holder.buffer) {
            if (std::any_of(std::begin(buffer), std::end(buffer), [](float v) { return v != 0; }))
                return false;
        }
        return true;
    };
    // Built over memory that is not zero, so the constructor has to clear it.
    auto storage = std::make_unique<unsigned char[]>(sizeof(MidSideSplitter));
    std::fill_n(storage.get(), sizeof(MidSideSplitter), static_cast<unsigned char>(0x3f));
    auto* built = new (storage.get()) MidSideSplitter;
    EXPECT_TRUE(silent(*built)) << "after construction";
    const struct {
        const char* name;
        void (*clear)(MidSideSplitter&);
    } clears[] = {{"clear", [](MidSideSplitter& h) { h.clear(); }},
                  {"reset", [](MidSideSplitter& h) { h.reset(); }},
                  {"init", [](MidSideSplitter& h) { h.init(); }}};
    for (const auto& c : clears) {
        dirty(*built);
        c.clear(*built);
        EXPECT_TRUE(silent(*built)) << c.name;
    }
    built->~MidSideSplitter();

    auto kernel = std::make_unique<Orvex_Compander_Extension_DSPKernel>();
    dirty(kernel->splitS);
    kernel->reset();
    EXPECT_TRUE(silent(kernel->splitS)) << "the kernel's reset";
    dirty(kernel->splitS);
    kernel->init(2, 44100.0);
    EXPECT_TRUE(silent(kernel->splitS)) << "the kernel's initialisation";
}

TEST(Interpolator2, StartsAtRestAtOneHalfAndAnInitialValueSetsBothEnds) {
    Interpolator2 value;
    EXPECT_EQ(value.currentValue, 0.5f);
    EXPECT_EQ(value.destinationValue, 0.5f);
    EXPECT_EQ(value.increase, 0.0f);
    EXPECT_EQ(value.time, 1024);
    EXPECT_EQ(value.delay, 0);
    for (const float start : {0.25f, -3.0f, 0.0f}) {
        value.setInitialValue(start);
        EXPECT_EQ(value.currentValue, start);
        EXPECT_EQ(value.destinationValue, start) << "no move is pending";
    }
}
