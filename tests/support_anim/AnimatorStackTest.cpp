#include "AnimatorStack.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VirtualClock.h"

namespace {

class AnimatorStackTest : public VirtualClockTest {
protected:
    int tick = 0;
    std::vector<std::string> log;

    // Names the callbacks of the stack and of its items in one log, with the tick.
    void trace(AnimatorStack& s, const std::vector<std::pair<std::string, Animator*>>& names) {
        auto nameOf = [names](Animator& a) {
            for (const auto& [n, p] : names)
                if (p == &a) return n;
            return std::string("?");
        };
        s.onAnimation = [this, nameOf](AnimatorStack&, Animator& a) { add("step " + nameOf(a)); };
        s.onRemovedItem = [this, nameOf](AnimatorStack&, Animator& a) {
            add("removed " + nameOf(a));
        };
        s.onFinished = [this](AnimatorStack&) { add("finished"); };
        for (const auto& [n, p] : names) {
            p->onFinished = [this, n = n](Animator&, float) { add(n + " done"); };
        }
    }
    void add(const std::string& e) { log.push_back(std::to_string(tick) + " " + e); }
    void run(int n) {
        for (int i = 0; i < n; ++i) {
            ++tick;
            ticks(1);
        }
    }
};

TEST_F(AnimatorStackTest, EmptyStackFinishesOnItsFirstTickAndStops) {
    auto s = AnimatorStack::create();
    trace(*s, {});
    s->interval = kTickInterval;
    s->start();
    run(3);
    EXPECT_EQ(log, (std::vector<std::string>{"1 finished"}));
    EXPECT_FALSE(s->isRunning());
}

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

// The container stops before onFinished is told, so a restart made there survives.
TEST_F(AnimatorStackTest, RestartFromOnFinishedSurvives) {
    auto s = AnimatorStack::create();
    s->interval = kTickInterval;
    int finished = 0;
    int steps = 0;
    s->onAnimation = [&](AnimatorStack&, Animator&) { ++steps; };
    s->onFinished = [&](AnimatorStack& st) {
        if (++finished == 1) {
            st.add(Animator::create(0, 1, 3));
            st.start();
        }
    };
    s->start();
    ticks(10);
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(steps, 4);
    EXPECT_FALSE(s->isRunning());
}

// A stop() from a callback ends the walk over the tick's snapshot.
TEST_F(AnimatorStackTest, StopFromACallbackEndsTheTick) {
    auto s = AnimatorStack::create();
    auto a = Animator::create(0, 1, 5);
    auto b = Animator::create(0, 1, 5);
    s->add(a);
    s->add(b);
    s->onAnimation = [](AnimatorStack& st, Animator&) { st.stop(); };
    s->animate();
    EXPECT_EQ(s->getCount(), 0);
    EXPECT_EQ(a->getValue(), 0.0f); // not stepped after the stop
    EXPECT_EQ(b->getValue(), 0.0f);
}

TEST_F(AnimatorStackTest, FinishedAndDuplicateEntriesStayUntilTheStackStops) {
    auto s = AnimatorStack::create();
    auto idle = Animator::create();
    auto twice = Animator::create(0, 1, 1);
    trace(*s, {{"idle", idle.get()}, {"twice", twice.get()}});
    s->add(idle);
    s->add(twice);
    s->add(twice);
    s->animate(); // twice steps twice: frame 1, then its end
    EXPECT_EQ(log, (std::vector<std::string>{"0 step twice", "0 step twice", "0 twice done",
                                             "0 removed twice"}));
    EXPECT_EQ(s->getCount(), 2); // idle and the second entry of twice
    s->animate();
    EXPECT_EQ(log.back(), "0 finished");
    EXPECT_EQ(s->getCount(), 0);
}

} // namespace
