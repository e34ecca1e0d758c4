#include "audio/units/RunningMinimum.h"

#include <algorithm>
#include <deque>
#include <random>

#include <gtest/gtest.h>

namespace {

float minimumOfLast(const std::deque<float>& values, std::size_t count) {
    float m = std::numeric_limits<float>::infinity();
    for (std::size_t i = values.size() - std::min(count, values.size()); i < values.size(); ++i)
        m = std::min(m, values[i]);
    return m;
}

} // namespace

TEST(RunningMinimum, EqualsTheMinimumOfTheLastWindowValuesForEveryWindowLength) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (const std::size_t window : {1u, 2u, 3u, 7u, 31u, 32u, 33u, 100u, 1513u}) {
        pf::RunningMinimum minimum;
        minimum.allocate(window);
        minimum.clear(1.0f);
        std::deque<float> seen(window, 1.0f);
        for (int n = 0; n < 5000; ++n) {
            // Runs of equal and rising values as well as noise: the cases a deque pops on.
            const float v = (n % 97 < 30) ? 0.5f : (n % 97 < 50) ? n * 1e-4f : value(random);
            seen.push_back(v);
            ASSERT_EQ(minimum.push(v), minimumOfLast(seen, window))
                << "window " << window << " frame " << n;
        }
    }
}

TEST(RunningMinimum, KeepsWhatItHoldsWhenTheWindowChanges) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::uniform_int_distribution<std::size_t> windowLength(1, 400);
    pf::RunningMinimum minimum;
    minimum.allocate(400);
    minimum.clear(1.0f);
    minimum.setWindow(50, 1.0f);
    std::deque<float> seen(400, 1.0f);
    std::size_t window = 50;
    std::size_t exactAfter = 0; // pushes after which the window is filled with real values again
    for (int n = 0; n < 20000; ++n) {
        if (n % 333 == 0) {
            const std::size_t next = windowLength(random);
            minimum.setWindow(next, 1.0f);
            if (next > window) exactAfter = static_cast<std::size_t>(n) + next;
            window = next;
        }
        const float v = value(random);
        seen.push_back(v);
        const float got = minimum.push(v);
        const float truth = minimumOfLast(seen, window);
        if (static_cast<std::size_t>(n) >= exactAfter) {
            ASSERT_EQ(got, truth) << "frame " << n;
        } else {
            // Right after growing, values older than the structure held count as the fill value:
            // never below the true minimum, and the newest values still count.
            ASSERT_GE(got, truth) << "frame " << n;
            ASSERT_LE(got, v) << "frame " << n;
        }
    }
}

TEST(RunningMinimum, ShrinkingTheWindowIsExactAtOnce) {
    pf::RunningMinimum minimum;
    minimum.allocate(64);
    minimum.clear(1.0f);
    for (int n = 0; n < 64; ++n)
        minimum.push(n == 10 ? 0.1f : 0.9f);
    // 53 values after the 0.1; a window of 40 no longer reaches it, one of 60 still does.
    minimum.setWindow(60, 1.0f);
    EXPECT_EQ(minimum.push(0.9f), 0.1f);
    minimum.setWindow(40, 1.0f);
    EXPECT_EQ(minimum.push(0.9f), 0.9f);
}
