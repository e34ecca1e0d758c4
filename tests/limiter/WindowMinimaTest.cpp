#include "audio/units/WindowMinima.h"

#include <algorithm>
#include <deque>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace {

float minimumOfLast(const std::deque<float>& values, std::size_t count) {
    float m = std::numeric_limits<float>::infinity();
    for (std::size_t i = values.size() - std::min(count, values.size()); i < values.size(); ++i)
        m = std::min(m, values[i]);
    return m;
}

// Noise, runs of equal values and slow ramps: the patterns a deque pops on.
float nextValue(std::mt19937& random, int n) {
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    return (n % 97 < 30) ? 0.5f : (n % 97 < 50) ? 1.0f - n * 1e-5f : value(random);
}

} // namespace

TEST(WindowMinima, BothWindowsEqualTheMinimumOfTheirLastValuesForEveryLength) {
    std::mt19937 random(3);
    for (const std::size_t shortWindow : {1u, 2u, 7u, 16u, 67u, 73u}) {
        for (const std::size_t extra : {1u, 5u, 66u, 73u, 146u, 1440u}) {
            pf::WindowMinima minima;
            minima.allocate(shortWindow, extra);
            minima.clear(1.0f);
            ASSERT_EQ(minima.longWindow(), shortWindow + extra);
            std::deque<float> seen(shortWindow + extra, 1.0f);
            for (int n = 0; n < 4000; ++n) {
                const float v = nextValue(random, n);
                seen.push_back(v);
                const pf::WindowMinima::Minima got = minima.push(v);
                ASSERT_EQ(got.shortWindow, minimumOfLast(seen, shortWindow))
                    << shortWindow << "+" << extra << " frame " << n;
                ASSERT_EQ(got.longWindow, minimumOfLast(seen, shortWindow + extra))
                    << shortWindow << "+" << extra << " frame " << n;
            }
        }
    }
}

TEST(WindowMinima, TheLongWindowChangesLengthExactlyWhileRunning) {
    std::mt19937 random(11);
    std::uniform_int_distribution<std::size_t> extraLength(0, 1600); // 0 and above the most clamp
    pf::WindowMinima minima;
    minima.allocate(73, 1440);
    minima.clear(1.0f);
    std::deque<float> seen(73 + 1440, 1.0f);
    std::size_t extra = 1440;
    for (int n = 0; n < 30000; ++n) {
        if (n % 311 == 0) {
            minima.setExtra(extraLength(random));
            extra = minima.longWindow() - 73;
            ASSERT_GE(extra, 1u);
            ASSERT_LE(extra, 1440u);
        }
        const float v = nextValue(random, n);
        seen.push_back(v);
        if (seen.size() > 4000) seen.pop_front();
        const pf::WindowMinima::Minima got = minima.push(v);
        ASSERT_EQ(got.shortWindow, minimumOfLast(seen, 73)) << n;
        ASSERT_EQ(got.longWindow, minimumOfLast(seen, 73 + extra))
            << "extra " << extra << " frame " << n;
    }
}

TEST(WindowMinima, RunsGiveTheSameMinimaAsSingleValues) {
    std::mt19937 random(5);
    pf::WindowMinima single;
    pf::WindowMinima runs;
    single.allocate(67, 700);
    runs.allocate(67, 700);
    single.clear(1.0f);
    runs.clear(1.0f);
    std::vector<float> values(5000);
    for (std::size_t n = 0; n < values.size(); ++n)
        values[n] = nextValue(random, static_cast<int>(n));
    for (std::size_t n = 0; n < values.size();) {
        const std::size_t count = std::min(runs.room(), values.size() - n);
        pf::WindowMinima::Run run = runs.openRun();
        for (std::size_t k = 0; k < count; ++k) {
            const auto a = run.push(k, values[n + k]);
            const auto b = single.push(values[n + k]);
            ASSERT_EQ(a.shortWindow, b.shortWindow) << n + k;
            ASSERT_EQ(a.longWindow, b.longWindow) << n + k;
        }
        runs.closeRun(run, count);
        n += count;
    }
}
