// The 66 generated wavetables meet their stated bounds and harmonic content.
#include <cmath>
#include <complex>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "Wavetables.h"

namespace {

// Magnitude of harmonic k of a table relative to its fundamental (single DFT bins).
double relative(const float* table, int k) {
    const auto bin = [table](int h) {
        std::complex<double> sum = 0.0;
        for (int i = 0; i < kWavetableLength; ++i)
            sum +=
                double(table[i]) * std::polar(1.0, -6.283185307179586 * h * i / kWavetableLength);
        return std::abs(sum);
    };
    return bin(k) / bin(1);
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
    EXPECT_EQ(wavetables[4], table_03);
}

// Harmonic k of each classic shape relative to the fundamental: 0 for the missing ones, and
// 1/k or 1/k² for the present ones.
TEST(Wavetables, ClassicShapesHaveTheirHarmonicSeries) {
    const struct {
        const float* table;
        bool evenHarmonics;
        int power;
    } shapes[] = {{table_tri, false, 2}, {table_saw, true, 1}, {table_sqr, false, 1}};
    for (const auto& s : shapes) {
        for (int k = 2; k <= 11; ++k) {
            const double present = s.power == 2 ? 1.0 / (k * k) : 1.0 / k;
            if (k % 2 == 0 && !s.evenHarmonics)
                EXPECT_LT(relative(s.table, k), 1e-3) << k;
            else
                EXPECT_NEAR(relative(s.table, k) / present, 1.0, 0.1) << k;
        }
    }
    for (int k = 2; k <= 32; ++k)
        EXPECT_LT(relative(table_sine, k), 0.002) << k;
}
