// Every animation object that runs on its own timer is kept alive by that timer exactly until it
// stops, also when nobody else holds it.
#include <memory>

#include <gtest/gtest.h>

#include "AnimationSequencer.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "VirtualClock.h"

namespace {

using ContainerLifetimeTest = VirtualClockTest;

// Starts a container that nobody else holds, with one item of two frames (three ticks).
template <class Container, class Add> std::weak_ptr<Container> startUnowned(Add add) {
    auto c = Container::create();
    c->interval = kTickInterval;
    add(*c, Animator::create(0, 1, 2));
    c->start();
    return c;
}

TEST_F(ContainerLifetimeTest, TimerKeepsAContainerAliveExactlyUntilItStops) {
    auto stack = startUnowned<AnimatorStack>([](auto& c, auto a) { c.add(a); });
    auto chain = startUnowned<AnimatorChain>([](auto& c, auto a) { c.add(a); });
    auto sequencer = startUnowned<AnimationSequencer>([](auto& c, auto a) { c.add(a, 1); });
    const auto animators = Animator::classCount();
    EXPECT_GE(animators, 3);
    ticks(3); // the chain and the sequencer end on their third tick
    EXPECT_FALSE(stack.expired());
    EXPECT_TRUE(chain.expired());
    EXPECT_TRUE(sequencer.expired());
    ticks(1); // the stack ends one tick after its last item left
    EXPECT_TRUE(stack.expired());
    EXPECT_EQ(Animator::classCount(), animators - 3);
}

TEST_F(ContainerLifetimeTest, StopReleasesARunningContainer) {
    auto stack = AnimatorStack::create();
    stack->interval = kTickInterval;
    auto looped = Animator::create(0, 1, 2);
    looped->looped = true;
    stack->add(looped);
    stack->start();
    std::weak_ptr<AnimatorStack> weak = stack;
    stack.reset();
    ticks(20);
    ASSERT_FALSE(weak.expired());
    weak.lock()->stop();
    EXPECT_TRUE(weak.expired());
}

} // namespace
