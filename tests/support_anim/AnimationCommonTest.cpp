// What every animation class shares: a second start() replaces the running timer, a restart made
// from onFinished survives the end of the run, and a stop() from a callback ends the tick.
#include <memory>

#include <gtest/gtest.h>

#include "AnimationSequencer.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "Impulse.h"
#include "VirtualClock.h"

namespace {

using AnimationClasses = VirtualClockTest;

template <class T> void onTicks(T& object) {
    if constexpr (requires { object.interval; }) object.interval = kTickInterval;
}

// Started twice, run three periods, stopped and left three more: one step a period, none after.
TEST_F(AnimationClasses, SecondStartLeavesOneTimer) {
    int steps = 0;
    auto item = [&] {
        auto a = Animator::create(0, 1, 100, kTickInterval);
        a->onAnimation = [&](Animator&, float) { ++steps; };
        return a;
    };
    auto twice = [&](const char* name, auto object) {
        steps = 0;
        onTicks(*object);
        object->start();
        object->start();
        ticks(3);
        object->stop();
        ticks(3);
        EXPECT_EQ(steps, 3) << name;
    };
    twice("animator", item());
    auto stack = AnimatorStack::create();
    stack->add(item());
    twice("stack", stack);
    auto chain = AnimatorChain::create();
    chain->add(item());
    twice("chain", chain);
    auto sequencer = AnimationSequencer::create();
    sequencer->add(item(), 1);
    twice("sequencer", sequencer);
    auto impulse = Impulse::create(0, 1.0f, kTickInterval, 1.0f);
    impulse->onAnimation = [&](Impulse&) { ++steps; };
    twice("impulse", impulse);
}

// The run stops before onFinished is told, so a restart made there runs to its own end.
TEST_F(AnimationClasses, RestartFromOnFinishedSurvives) {
    auto restartOnce = [&](const char* name, auto object, auto restart) {
        int finished = 0;
        onTicks(*object);
        object->onFinished = [&](auto& o, auto...) {
            if (++finished == 1) {
                restart(o);
                o.start();
            }
        };
        object->start();
        ticks(20);
        EXPECT_EQ(finished, 2) << name;
    };
    restartOnce("animator", Animator::create(0, 1, 1, kTickInterval),
                [](Animator& a) { a.rewind(); });
    restartOnce("stack", AnimatorStack::create(),
                [](AnimatorStack& s) { s.add(Animator::create(0, 1, 3)); });
    auto item = Animator::create(0, 1, 2);
    auto chain = AnimatorChain::create();
    chain->add(item);
    restartOnce("chain", chain, [&](AnimatorChain&) { item->rewind(); });
    auto sequencer = AnimationSequencer::create();
    sequencer->add(Animator::create(0, 1, 1), 1);
    restartOnce("sequencer", sequencer, [](AnimationSequencer& s) { s.rewind(); });
    restartOnce("impulse", Impulse::create(0, 0.01f, kTickInterval, 0.5f),
                [](Impulse& i) { i.setup(0, 0.01f, kTickInterval, 0.5f); });
}

// A stop() from the object's own callback ends the tick before any item moves.
TEST_F(AnimationClasses, StopFromACallbackEndsTheTick) {
    auto item = Animator::create(0, 1, 1);
    int itemSteps = 0;
    item->onAnimation = [&](Animator&, float) { ++itemSteps; };
    auto stopOnce = [&](const char* name, auto object) {
        object->onAnimation = [](auto& o, auto&...) { o.stop(); };
        onTicks(*object);
        object->start();
        ticks(1);
        EXPECT_EQ(itemSteps, 0) << name;
        EXPECT_FALSE(object->isRunning()) << name;
    };
    auto stack = AnimatorStack::create();
    stack->add(item);
    stack->add(Animator::create(0, 1, 5));
    stopOnce("stack", stack);
    EXPECT_EQ(stack->getCount(), 0);
    auto chain = AnimatorChain::create();
    chain->add(item);
    stopOnce("chain", chain);
    auto sequencer = AnimationSequencer::create();
    sequencer->add(item, 1);
    stopOnce("sequencer", sequencer);

    auto impulse = Impulse::create(0, 8.0f, kTickInterval, 0.5f);
    impulse->setMinMax(true, -100.0f, 1.0f);
    int moves = 0;
    impulse->onAnimation = [&](Impulse&) { ++moves; };
    impulse->onCollision = [](Impulse& i) { i.stop(); };
    impulse->animate();
    EXPECT_EQ(moves, 0);
    EXPECT_TRUE(impulse->isFinished());
}

} // namespace
