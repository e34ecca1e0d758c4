#include "Animator.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VirtualClock.h"

namespace {

using E = EnumEasing;

// Records every callback of an animator as text, with the tick on which it came.
struct Recorder {
    int tick = 0;
    std::vector<std::string> events;

    void attach(Animator& a) {
        a.onAnimation = [this](Animator&, float v) { add("anim", v); };
        a.onFinished = [this](Animator&, float v) { add("fin", v); };
        a.onLoop = [this](Animator& an) { add("loop", an.getValue()); };
    }
    void add(const char* what, float v) {
        events.push_back(std::to_string(tick) + ":" + what + " " + std::to_string(v));
    }
};

class AnimatorTest : public VirtualClockTest {
protected:
    // Runs `n` timer ticks one by one, telling the recorder which tick it is.
    void runTicks(Recorder& r, int n) {
        for (int i = 0; i < n; ++i) {
            ++r.tick;
            ticks(1);
        }
    }
};

std::string ev(int tick, const char* what, float v) {
    return std::to_string(tick) + ":" + what + " " + std::to_string(v);
}

TEST_F(AnimatorTest, RunOfThreeFramesTakesFourTicksAndFinishesAfterItsTimerStopped) {
    auto a = Animator::create(0, 3, 3, kTickInterval);
    Recorder r;
    r.attach(*a);
    bool timerGoneAtFinish = false;
    a->onFinished = [&](Animator& an, float v) {
        r.add("fin", v);
        timerGoneAtFinish = !an.isRunning() && an.isFinished();
    };
    a->start();
    runTicks(r, 6);
    EXPECT_EQ(r.events, (std::vector<std::string>{ev(1, "anim", 0), ev(2, "anim", 1),
                                                  ev(3, "anim", 2), ev(4, "fin", 3)}));
    EXPECT_TRUE(timerGoneAtFinish);
    EXPECT_TRUE(a->isFinished());
    EXPECT_FLOAT_EQ(a->getValue(), 3);
}

TEST_F(AnimatorTest, EqualEndsOrNegativeFramesEndOnTheFirstTickWithoutOnAnimation) {
    auto same = Animator::create(4, 4, 10, kTickInterval);
    auto negative = Animator::create(0, 1, -5, kTickInterval);
    Recorder r;
    r.attach(*same);
    Recorder rn;
    rn.attach(*negative);
    same->animate();
    negative->animate();
    EXPECT_EQ(r.events, (std::vector<std::string>{ev(0, "fin", 4)}));
    EXPECT_EQ(rn.events, (std::vector<std::string>{ev(0, "fin", 1)}));
    // The negative count is remembered, so a rewound run is again a run of 0 frames.
    negative->rewind();
    EXPECT_FALSE(negative->isFinished());
    negative->animate();
    EXPECT_EQ(rn.events.size(), 2u);
    EXPECT_TRUE(negative->isFinished());
}

TEST_F(AnimatorTest, LoopedRunTurnsAfterNPlusOneTicksUntilStopClearsLooped) {
    auto a = Animator::create(0, 2, 2, kTickInterval);
    a->looped = true;
    Recorder r;
    r.attach(*a);
    a->start();
    runTicks(r, 7);
    EXPECT_EQ(r.events, (std::vector<std::string>{
                            ev(1, "anim", 0), ev(2, "anim", 1), ev(3, "loop", 2), ev(4, "anim", 2),
                            ev(5, "anim", 1), ev(6, "loop", 0), ev(7, "anim", 0)}));
    a->stop();
    EXPECT_FALSE(a->looped);
    EXPECT_FALSE(a->isRunning());
    runTicks(r, 3);
    EXPECT_EQ(r.events.size(), 7u);
}

// A rewound or undone run keeps its curve and interval.
TEST_F(AnimatorTest, RewindAndUndoKeepTheIntervalAndCurve) {
    auto a = Animator::create(0, 1, 4, kTickInterval, E::EASING_easeInQuad);
    std::vector<float> first;
    a->onAnimation = [&](Animator&, float v) { first.push_back(v); };
    for (int i = 0; i < 5; ++i)
        a->animate();
    ASSERT_TRUE(a->isFinished());

    a->rewind();
    EXPECT_EQ(a->getType(), E::EASING_easeInQuad);
    EXPECT_EQ(a->getInterval(), kTickInterval);
    std::vector<float> replay;
    a->onAnimation = [&](Animator&, float v) { replay.push_back(v); };
    a->start();
    ticks(6); // at the default 0.009 s this would be eleven ticks
    EXPECT_EQ(replay, first);
    EXPECT_FLOAT_EQ(first[2], 0.25f); // the quadratic curve at frame 2 of 4

    a->rewind();
    a->undo();
    EXPECT_EQ(a->getType(), E::EASING_easeInQuad);
    EXPECT_EQ(a->getInterval(), kTickInterval);
}

TEST_F(AnimatorTest, UndoMidRunReportsTheSourceThenFinishesAtTheDestinationInOneCall) {
    auto a = Animator::create(1, 9, 8, kTickInterval);
    a->animate();
    a->animate();
    Recorder r;
    r.attach(*a);
    a->undo();
    EXPECT_EQ(r.events, (std::vector<std::string>{ev(0, "anim", 1), ev(0, "fin", 9)}));
    EXPECT_TRUE(a->isFinished());
}

// A second start() replaces the first timer, so one stop() ends the run.
TEST_F(AnimatorTest, SecondStartLeavesOneTimer) {
    std::weak_ptr<Animator> weak;
    int animations = 0;
    {
        auto a = Animator::create(0, 100, 100, kTickInterval);
        a->onAnimation = [&](Animator&, float) { ++animations; };
        a->start();
        a->start();
        weak = a;
    }
    ticks(5);
    EXPECT_EQ(animations, 5);
    ASSERT_FALSE(weak.expired());
    weak.lock()->stop();
    ticks(5);
    EXPECT_EQ(animations, 5);
    EXPECT_TRUE(weak.expired()); // no timer left to keep it alive
}

TEST_F(AnimatorTest, TimerKeepsAnUnownedAnimatorAliveUntilItsRunEnds) {
    const auto before = Animator::classCount();
    float last = -1;
    Animator::create(0, 1, 3, kTickInterval)->start();
    {
        auto a = Animator::create(0, 5, 2, kTickInterval);
        a->onFinished = [&](Animator& an, float v) {
            last = v;
            an.onFinished = nullptr; // drops this very callback while it runs
        };
        a->start();
    }
    EXPECT_EQ(Animator::classCount(), before + 2);
    ticks(3);
    EXPECT_EQ(last, 5.0f);
    ticks(1);
    EXPECT_EQ(Animator::classCount(), before);
}

TEST_F(AnimatorTest, CallbackMayDropTheLastReference) {
    auto holder = std::make_shared<std::shared_ptr<Animator>>(Animator::create(0, 1, 1, 0.1f));
    (*holder)->onFinished = [holder](Animator&, float) { holder->reset(); };
    std::weak_ptr<Animator> weak = *holder;
    (*holder)->animate();
    (*holder)->animate();
    EXPECT_TRUE(weak.expired());
}

TEST_F(AnimatorTest, CallbacksMayReplaceThemselvesWhileTheyRun) {
    auto a = Animator::create(0, 1, 1, kTickInterval);
    auto captured = std::make_shared<int>(0);
    a->onAnimation = [captured](Animator& an, float) {
        an.onAnimation = nullptr; // destroys the stored callback and its captures
        ++*captured;              // still valid: the running callback is a copy
    };
    a->onFinished = [captured](Animator& an, float) {
        an.onFinished = [](Animator&, float) {};
        ++*captured;
    };
    std::weak_ptr<int> weak = captured;
    captured.reset();
    a->animate();
    a->animate();
    EXPECT_TRUE(weak.expired());
}

TEST_F(AnimatorTest, RestartFromOnFinishedRunsAgain) {
    auto a = Animator::create(0, 1, 1, kTickInterval);
    int finished = 0;
    a->onFinished = [&](Animator& an, float) {
        if (++finished < 3) {
            an.rewind();
            an.start();
        }
    };
    a->start();
    ticks(10);
    EXPECT_EQ(finished, 3);
    EXPECT_FALSE(a->isRunning());
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
