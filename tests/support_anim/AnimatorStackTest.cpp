#include "AnimatorStack.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VirtualClock.h"

namespace {

class AnimatorStackTest : public VirtualClockTest {
protected:
    // Names the callbacks of the stack and of its items in one log, with the tick.
    void trace(AnimatorStack& s, const std::vector<std::pair<std::string, Animator*>>& names) {
        auto nameOf = [names](Animator& a) {
            for (const auto& [n, p] : names)
                if (p == &a) return n;
            return std::string("?");
        };
        s.onAnimation = [this, nameOf](AnimatorStack&, Animator& a) { note("step " + nameOf(a)); };
        s.onRemovedItem = [this, nameOf](AnimatorStack&, Animator& a) {
            note("removed " + nameOf(a));
        };
        s.onFinished = [this](AnimatorStack&) { note("finished"); };
        for (const auto& [n, p] : names) {
            p->onFinished = [this, n = n](Animator&, float) { note(n + " done"); };
        }
    }
};

TEST_F(AnimatorStackTest, ItemLeavesOnTickNPlusOneAndTheStackFinishesOneTickLater) {
    auto s = AnimatorStack::create();
    auto a = Animator::create(0, 1, 2);
    auto b = Animator::create(0, 1, 1);
    trace(*s, {{"a", a.get()}, {"b", b.get()}});
    s->interval = kTickInterval;
    s->add(a);
    s->add(nullptr);
    s->add(b);
    EXPECT_EQ(s->getCount(), 2);
    s->start();
    run(6);
    EXPECT_EQ(log, (std::vector<std::string>{"1 step a", "1 step b", "2 step a", "2 step b",
                                             "2 b done", "2 removed b", "3 step a", "3 a done",
                                             "3 removed a", "4 finished"}));
    EXPECT_EQ(s->getCount(), 0);
    EXPECT_FALSE(s->isRunning());
}

TEST_F(AnimatorStackTest, FinishedAndDuplicateEntriesStayUntilTheStackStops) {
    auto s = AnimatorStack::create();
    auto idle = Animator::create();
    auto twice = Animator::create(0, 1, 1);
    trace(*s, {{"idle", idle.get()}, {"twice", twice.get()}});
    s->add(idle);
    s->add(nullptr);
    s->add(twice);
    s->add(twice);
    EXPECT_EQ(s->getCount(), 3);
    s->animate(); // twice steps twice: frame 1, then its end
    EXPECT_EQ(log, (std::vector<std::string>{"0 step twice", "0 step twice", "0 twice done",
                                             "0 removed twice"}));
    EXPECT_EQ(s->getCount(), 2); // idle and the second entry of twice
    s->animate();
    EXPECT_EQ(log.back(), "0 finished");
    EXPECT_EQ(s->getCount(), 0);
}

} // namespace
