#include "Impulse.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VirtualClock.h"

namespace {

using ImpulseTest = VirtualClockTest;

// The value after each moving tick, computed here in 32-bit floats the way the impulse must.
std::vector<float> dampedSeries(float amount, float q, float threshold) {
    std::vector<float> values;
    float step = amount;
    float value = 0;
    for (;;) {
        step = step * q;
        if (!(std::fabs(step) >= threshold)) return values;
        value = value + step;
        values.push_back(value);
    }
}

TEST_F(ImpulseTest, UnitPushMovesOnTwentyFourTicksAndFinishesOnTheTwentyFifth) {
    auto imp = Impulse::create(0, 1.0f, kTickInterval);
    std::vector<float> seen;
    int finishedOnTick = 0;
    int tick = 0;
    imp->onAnimation = [&](Impulse& i) { seen.push_back(i.getValue()); };
    imp->onFinished = [&](Impulse& i) {
        finishedOnTick = tick;
        EXPECT_NEAR(i.getValue(), 2.99699f, 1e-5f); // the final value, before stop() clears it
    };
    imp->start();
    for (tick = 1; tick <= 30; ++tick) {
        ticks(1);
        if (tick == 24) {
            EXPECT_FALSE(imp->isFinished()); // the last move, not yet the end
        }
    }
    const auto expected = dampedSeries(1.0f, 0.75f, 0.001f);
    ASSERT_EQ(expected.size(), 24u);
    EXPECT_EQ(seen, expected);
    ASSERT_EQ(seen.size(), 24u);
    EXPECT_FLOAT_EQ(seen[0], 0.75f);
    EXPECT_FLOAT_EQ(seen[1], 1.3125f);
    EXPECT_NEAR(seen[23], 2.99699f, 1e-5f);
    EXPECT_EQ(finishedOnTick, 25);
    EXPECT_TRUE(imp->isFinished());
    EXPECT_FALSE(imp->isRunning());
    EXPECT_EQ(imp->getValue(), 0.0f);
    EXPECT_EQ(imp->getSourceValue(), 1.0f);
}

TEST_F(ImpulseTest, ExactHitOnTheUpperBoundBouncesBeforeOnAnimation) {
    auto imp = Impulse::create(0, 8.0f, kTickInterval, 0.5f);
    imp->setMinMax(true, -100.0f, 4.0f);
    std::vector<std::string> events;
    imp->onCollision = [&](Impulse& i) { events.push_back("hit " + std::to_string(i.getValue())); };
    imp->onAnimation = [&](Impulse& i) {
        events.push_back("move " + std::to_string(i.getValue()));
    };
    imp->animate(); // step 4 lands exactly on the bound: back to 0, step now -4
    imp->animate(); // step -2
    EXPECT_EQ(events,
              (std::vector<std::string>{"hit 0.000000", "move 0.000000", "move -2.000000"}));
}

TEST_F(ImpulseTest, LowerBoundBounceReversesTheStep) {
    auto imp = Impulse::create(0, -10.0f, kTickInterval, 0.5f);
    imp->setMinMax(true, -3.0f, 100.0f);
    int hits = 0;
    imp->onCollision = [&](Impulse&) { ++hits; };
    imp->animate(); // -5 is below -3: back to 0, step +5
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(imp->getValue(), 0.0f);
    imp->animate();
    EXPECT_EQ(imp->getValue(), 2.5f);
}

} // namespace
