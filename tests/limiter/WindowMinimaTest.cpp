// The sliding minima of the look-ahead (short) and hold (long) windows, against a plain model.
#include <algorithm>
#include <deque>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "audio/units/WindowMinima.h"

namespace {

float minimumOfLast(const std::deque<float>& values, std::size_t count) {
    return *std::min_element(values.end() - std::ptrdiff_t(std::min(count, values.size())),
                             values.end());
}

// Noise, runs of equal values and slow ramps.
float nextValue(std::mt19937& random, int n) {
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    return (n % 97 < 30) ? 0.5f : (n % 97 < 50) ? 1.0f - n * 1e-5f : value(random);
}

} // namespace

// Every pair of lengths, with the long window changing length while running (0 and values above
// the most clamp), pushed one by one and in runs.
TEST(WindowMinima, BothWindowsEqualTheMinimumOfTheirLastValuesForEveryLength) {
    std::mt19937 random(3);
    for (const std::size_t shortWindow : {1u, 2u, 7u, 16u, 67u, 73u}) {
        for (const std::size_t most : {1u, 5u, 66u, 146u, 1440u}) {
            pf::WindowMinima minima;
            minima.allocate(shortWindow, most);
            minima.clear(1.0f);
            std::deque<float> seen(shortWindow + most, 1.0f);
            std::size_t extra = most;
            for (int n = 0, pass = 1; n < 6000; ++pass) {
                if (pass % 300 == 0) {
                    minima.setExtra(
                        std::uniform_int_distribution<std::size_t>(0, most + 100)(random));
                    extra = minima.longWindow() - shortWindow;
                    ASSERT_TRUE(extra >= 1 && extra <= most);
                }
                const std::size_t count = pass % 2 ? std::min<std::size_t>(minima.room(), 50) : 1;
                pf::WindowMinima::Run run = minima.openRun();
                for (std::size_t k = 0; k < count; ++k, ++n) {
                    const float v = nextValue(random, n);
                    seen.push_back(v);
                    const pf::WindowMinima::Minima got = run.push(k, v);
                    ASSERT_EQ(got.shortWindow, minimumOfLast(seen, shortWindow))
                        << shortWindow << "+" << extra << " frame " << n;
                    ASSERT_EQ(got.longWindow, minimumOfLast(seen, shortWindow + extra))
                        << shortWindow << "+" << extra << " frame " << n;
                }
                minima.closeRun(run, count);
                if (seen.size() > 4000) seen.erase(seen.begin(), seen.begin() + 1000);
            }
        }
    }
}
