// The 66 generated wavetables meet their stated bounds and harmonic content.
#include <cmath>
#include <complex>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "Wavetables.h"

namespace {

// Magnitude of harmonic k of one table (a single DFT bin).
double harmonic(const float* table, int k) {
    std::complex<double> sum = 0.0;
    for (int i = 0; i < kWavetableLength; ++i) {
        const double angle = -6.283185307179586 * k * i / kWavetableLength;
        sum += static_cast<double>(table[i]) * std::polar(1.0, angle);
    }
    return std::abs(sum);
}

double relative(const float* table, int k) {
    return harmonic(table, k) / harmonic(table, 1);
}

} // namespace

TEST(Wavetables, EveryTableHasPeakNearOneMeanNearZeroAndStartsAndEndsNearZero) {
    std::set<std::vector<float>> distinct;
    for (int index = 0; index < kWavetableCount; ++index) {
        const float* table = wavetables[index];
        double peak = 0.0, sum = 0.0;
        for (int i = 0; i < kWavetableLength; ++i) {
            peak = std::max(peak, std::fabs(static_cast<double>(table[i])));
            sum += table[i];
        }
        EXPECT_GE(peak, 0.99) << index;
        EXPECT_LE(peak, 1.006) << index;
        EXPECT_LE(std::fabs(sum / kWavetableLength), 0.011) << index;
        if (table != table_sqr) {
            EXPECT_LE(std::fabs(table[0]), 0.05f) << index;
            EXPECT_LE(std::fabs(table[kWavetableLength - 1]), 0.05f) << index;
        }
        distinct.emplace(table, table + kWavetableLength);
    }
    EXPECT_EQ(distinct.size(), 66u);
    EXPECT_EQ(wavetables[0], table_sine);
    EXPECT_EQ(wavetables[4], table_03);
    EXPECT_EQ(wavetables[65], table_64);
}

TEST(Wavetables, SineIsPure) {
    EXPECT_GT(table_sine[1], table_sine[0]) << "rising from zero";
    for (int k = 2; k <= 32; ++k)
        EXPECT_LT(relative(table_sine, k), 0.002) << k;
}

TEST(Wavetables, TriangleHasOddHarmonicsFallingWithTheSquare) {
    for (int k = 2; k <= 10; k += 2)
        EXPECT_LT(relative(table_tri, k), 1e-3) << k;
    for (int k = 3; k <= 11; k += 2)
        EXPECT_NEAR(relative(table_tri, k) * k * k, 1.0, 0.1) << k;
}

TEST(Wavetables, SawHasEveryHarmonicAtOneOverKAndLopsidedPeaks) {
    for (int k = 2; k <= 10; ++k)
        EXPECT_NEAR(relative(table_saw, k) * k, 1.0, 0.1) << k;
    float high = 0.0f, low = 0.0f;
    for (int i = 0; i < kWavetableLength; ++i) {
        high = std::max(high, table_saw[i]);
        low = std::min(low, table_saw[i]);
    }
    EXPECT_NEAR(high, 0.58f, 0.03f);
    EXPECT_NEAR(low, -0.99f, 0.01f);
}

TEST(Wavetables, SquareHasOddHarmonicsAtOneOverKAndStartsOnItsRisingEdge) {
    for (int k = 2; k <= 10; k += 2)
        EXPECT_LT(relative(table_sqr, k), 1e-3) << k;
    for (int k = 3; k <= 11; k += 2)
        EXPECT_NEAR(relative(table_sqr, k) * k, 1.0, 0.1) << k;
    EXPECT_NEAR(table_sqr[0], 0.51f, 0.1f);
    EXPECT_GT(table_sqr[1], table_sqr[0]);
    EXPECT_LT(table_sqr[kWavetableLength - 1], table_sqr[0]);
}
