#include "Animator.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

TEST_F(AnimatorTest, RunOfThreeFramesTakesFourTicksAndFinishesAfterItsTimerStopped) {
    auto a = Animator::create(0, 3, 3, kTickInterval);
    attach(*a);
    bool timerGoneAtFinish = false;
    a->onFinished = [&](Animator& an, float v) {
        note("fin " + std::to_string(v));
        timerGoneAtFinish = !an.isRunning() && an.isFinished();
    };
    a->start();
    run(6);
    EXPECT_EQ(log, (std::vector<std::string>{ev(1, "anim", 0), ev(2, "anim", 1), ev(3, "anim", 2),
                                             ev(4, "fin", 3)}));
    EXPECT_TRUE(timerGoneAtFinish);
    EXPECT_TRUE(a->isFinished());
    EXPECT_FLOAT_EQ(a->getValue(), 3);
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

    auto loopStopped = Animator::create(0, 1, 1, kTickInterval);
    loopStopped->looped = true;
    loopStopped->onLoop = [](Animator& an) { an.stop(); };
    loopStopped->animate();
    loopStopped->animate();
    EXPECT_TRUE(loopStopped->isFinished());
    EXPECT_EQ(loopStopped->getSourceValue(), 0.0f); // not reversed after the stop
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

} // namespace
