// The modulator's frequency map.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "Modulator.h"

// Non-finite values used to index the table far outside its bounds.
TEST(Modulator, FrequencyScaledMapsOntoTheLogarithmicRampAndSaturates) {
    const Modulator modulator; // builds the shared table
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float in, out, tolerance;
    } cases[] = {{0.0f, 0.0f, 0},
                 {0.5f, 0.015625f, 0},
                 {1.0f, 1.0f, 0},
                 {7.0f, 1.0f, 0},
                 {inf, 1.0f, 0},
                 {-inf, -1.0f, 0},
                 {0.25f, 0.0013811f, 1e-7f},
                 {0.99999f, 0.99807f, 1e-5f},
                 {std::numeric_limits<float>::quiet_NaN(), 0.0f, 0}};
    for (const auto& c : cases)
        EXPECT_NEAR(Modulator::getValueFrequencyScaled(c.in), c.out, c.tolerance) << c.in;
}
