// The modulator's frequency map and the generated wavetables it plays.
#include <cmath>
#include <complex>
#include <limits>

#include <gtest/gtest.h>

#include "Modulator.h"
#include "Wavetables.h"

// Non-finite values used to index the table far outside its bounds.
TEST(Modulator, FrequencyScaledMapsOntoTheLogarithmicRampAndSaturates) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float in, out, tolerance;
    } cases[] = {{0.0f, 0.0f, 0},
                 {0.5f, 0.015625f, 0},
                 {-0.5f, -0.015625f, 0},
                 {1.0f, 1.0f, 0},
                 {7.0f, 1.0f, 0},
                 {-1.0f, -1.0f, 0},
                 {inf, 1.0f, 0},
                 {-inf, -1.0f, 0},
                 {3e38f, 1.0f, 0},
                 {0.25f, 0.0013811f, 1e-7f},
                 {0.99999f, 0.99807f, 1e-5f},
                 {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0}};
    for (const auto& c : cases)
        EXPECT_NEAR(Modulator::getValueFrequencyScaled(c.in), c.out, c.tolerance) << c.in;
}

// Harmonic k of each classic shape relative to its fundamental (single DFT bins): 0 for the
// missing ones, 1/k or 1/k² for the present ones; every table peaks near 1.
TEST(Wavetables, ClassicShapesHaveTheirHarmonicSeriesAndEveryTablePeaksNearOne) {
    const auto relative = [](const float* table, int k) {
        const auto bin = [table](int h) {
            std::complex<double> sum = 0.0;
            for (int i = 0; i < kWavetableLength; ++i)
                sum += double(table[i]) *
                       std::polar(1.0, -6.283185307179586 * h * i / kWavetableLength);
            return std::abs(sum);
        };
        return bin(k) / bin(1);
    };
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
    for (int index = 0; index < kWavetableCount; ++index) {
        double peak = 0.0;
        for (int i = 0; i < kWavetableLength; ++i)
            peak = std::max(peak, std::fabs(double(wavetables[index][i])));
        EXPECT_NEAR(peak, 1.0, 0.01) << index;
    }
}
