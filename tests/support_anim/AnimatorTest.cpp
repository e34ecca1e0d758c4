// The single animations: the animator (a run from one value to another along a curve) and the
// impulse (a push that decays step by step and bounces off its bounds).
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Animator.h"
#include "Impulse.h"
#include "VirtualClock.h"

namespace {

using E = EnumEasing;

class AnimatorTest : public VirtualClockTest {
protected:
    // Notes every callback of the animator with the value it reports.
    void attach(Animator& a) {
        a.onAnimation = [this](Animator&, float v) { note("anim " + std::to_string(v)); };
        a.onFinished = [this](Animator&, float v) { note("fin " + std::to_string(v)); };
        a.onLoop = [this](Animator& an) { note("loop " + std::to_string(an.getValue())); };
    }
};

std::string ev(int tick, const char* what, float v) {
    return std::to_string(tick) + " " + what + " " + std::to_string(v);
}

TEST_F(AnimatorTest, EqualEndsOrNegativeFramesEndOnTheFirstTickWithoutOnAnimation) {
    auto same = Animator::create(4, 4, 10, kTickInterval);
    auto negative = Animator::create(0, 1, -5, kTickInterval);
    attach(*same);
    attach(*negative);
    same->animate();
    negative->animate();
    EXPECT_EQ(log, (std::vector<std::string>{ev(0, "fin", 4), ev(0, "fin", 1)}));
    // The negative count is remembered, so a rewound run is again a run of 0 frames.
    negative->rewind();
    EXPECT_FALSE(negative->isFinished());
    negative->animate();
    EXPECT_EQ(log.size(), 3u);
    EXPECT_TRUE(negative->isFinished());
}

TEST_F(AnimatorTest, LoopedRunTurnsAfterNPlusOneTicksUntilStopClearsLooped) {
    auto a = Animator::create(0, 2, 2, kTickInterval);
    a->looped = true;
    attach(*a);
    a->start();
    run(7);
    EXPECT_EQ(log, (std::vector<std::string>{ev(1, "anim", 0), ev(2, "anim", 1), ev(3, "loop", 2),
                                             ev(4, "anim", 2), ev(5, "anim", 1), ev(6, "loop", 0),
                                             ev(7, "anim", 0)}));
    a->stop();
    EXPECT_FALSE(a->looped);
    EXPECT_FALSE(a->isRunning());
    run(3);
    EXPECT_EQ(log.size(), 7u);
}

// A rewound or undone run keeps its curve and interval.
TEST_F(AnimatorTest, RewindAndUndoKeepTheIntervalAndCurve) {
    auto a = Animator::create(0, 1, 4, kTickInterval, E::EASING_easeInQuad);
    a->animate();
    a->rewind();
    std::vector<float> values;
    a->onAnimation = [&](Animator&, float v) { values.push_back(v); };
    a->start();
    ticks(3); // at the default 0.009 s this would be five steps
    EXPECT_EQ(values, (std::vector<float>{0.0f, 0.0625f, 0.25f}));
    a->undo();
    EXPECT_EQ(a->getType(), E::EASING_easeInQuad);
    EXPECT_EQ(a->getInterval(), kTickInterval);
}

// A callback that stops or replaces the run ends the tick.
TEST_F(AnimatorTest, TickEndsWhenACallbackStoppedOrReplacedTheRun) {
    auto stopped = Animator::create(0, 10, 10, kTickInterval);
    stopped->onAnimation = [](Animator& an, float) { an.stop(); };
    stopped->animate();
    EXPECT_TRUE(stopped->isFinished());
    EXPECT_EQ(stopped->getValue(), 0.0f);

    auto replaced = Animator::create(0, 10, 10, kTickInterval);
    replaced->onAnimation = [](Animator& an, float) {
        an.onAnimation = nullptr;
        an.setup(50, 60, 4, kTickInterval);
    };
    replaced->animate();
    EXPECT_EQ(replaced->getValue(), 50.0f);
    int steps = 0;
    replaced->onAnimation = [&](Animator&, float) { ++steps; };
    while (!replaced->isFinished())
        replaced->animate();
    EXPECT_EQ(steps, 4); // the new run is whole
}

class SoftElastic : public Animator {
public:
    using Animator::Animator;
    float easeOutElastic(std::int64_t t, float b, float c, std::int64_t d) override {
        return b + c * static_cast<float>(t) / static_cast<float>(d) + 100.0f;
    }
};

TEST_F(AnimatorTest, SubclassReplacesAnElasticCurve) {
    auto a = std::make_shared<SoftElastic>(0, 4, 4, kTickInterval, E::EASING_easeOutElastic);
    a->animate();
    a->animate();
    EXPECT_FLOAT_EQ(a->getValue(), 102.0f);
}

using ImpulseTest = VirtualClockTest;

// A push of 1 with the default damping moves 0.75, then 0.5625 more, each step three quarters
// of the one before, until a step would fall below the threshold of 0.001: 24 moves towards the
// series' sum of 3, and the end on the 25th tick.
TEST_F(ImpulseTest, UnitPushMovesOnTwentyFourTicksAndFinishesOnTheTwentyFifth) {
    auto imp = Impulse::create(0, 1.0f, kTickInterval);
    std::vector<float> moves;
    float finishedAt = 0;
    imp->onAnimation = [&](Impulse& i) { moves.push_back(i.getValue()); };
    imp->onFinished = [&](Impulse& i) { finishedAt = i.getValue(); }; // before stop() clears it
    imp->start();
    ticks(24);
    ASSERT_EQ(moves.size(), 24u);
    EXPECT_FLOAT_EQ(moves[0], 0.75f);
    EXPECT_FLOAT_EQ(moves[1], 1.3125f);
    EXPECT_NEAR(moves[23], 2.99699f, 1e-5f);
    EXPECT_FALSE(imp->isFinished());
    ticks(1);
    EXPECT_EQ(moves.size(), 24u);
    EXPECT_NEAR(finishedAt, 2.99699f, 1e-5f);
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
