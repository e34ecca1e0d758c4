// What every animation class shares: a second start() replaces the running timer, a restart made
// from onFinished survives the end of the run, and a stop() from a callback ends the tick.
#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include "AnimationSequencer.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "Impulse.h"
#include "VirtualClock.h"

namespace {

using AnimationClasses = VirtualClockTest;

struct Row {
    const char* name;
    std::function<int()> run;
    int expected;
};

void check(const std::vector<Row>& rows) {
    for (const auto& row : rows)
        EXPECT_EQ(row.run(), row.expected) << row.name;
}

std::shared_ptr<Animator> longItem(int* steps) {
    auto a = Animator::create(0, 1, 100, kTickInterval);
    a->onAnimation = [steps](Animator&, float) { ++*steps; };
    return a;
}

// Each object is started twice, runs three periods, is stopped and left three more: one step a
// period, and none after the stop.
TEST_F(AnimationClasses, SecondStartLeavesOneTimer) {
    auto twice = [](auto object) {
        object->start();
        object->start();
        ticks(3);
        object->stop();
        ticks(3);
    };
    check({{"animator",
            [&] {
                int steps = 0;
                twice(longItem(&steps));
                return steps;
            },
            3},
           {"stack",
            [&] {
                int steps = 0;
                auto s = AnimatorStack::create();
                s->interval = kTickInterval;
                s->add(longItem(&steps));
                twice(s);
                return steps;
            },
            3},
           {"chain",
            [&] {
                int steps = 0;
                auto c = AnimatorChain::create();
                c->interval = kTickInterval;
                c->add(longItem(&steps));
                twice(c);
                return steps;
            },
            3},
           {"sequencer",
            [&] {
                int steps = 0;
                auto s = AnimationSequencer::create();
                s->interval = kTickInterval;
                s->add(longItem(&steps), 1);
                twice(s);
                return steps;
            },
            3},
           {"impulse",
            [&] {
                int steps = 0;
                auto i = Impulse::create(0, 1.0f, kTickInterval, 1.0f);
                i->onAnimation = [&](Impulse&) { ++steps; };
                twice(i);
                return steps;
            },
            3}});
}

// The containers stop before they tell onFinished, so a restart made there runs to its end.
TEST_F(AnimationClasses, RestartFromOnFinishedSurvives) {
    check({{"animator",
            [&] {
                int finished = 0;
                auto a = Animator::create(0, 1, 1, kTickInterval);
                a->onFinished = [&](Animator& an, float) {
                    if (++finished == 1) {
                        an.rewind();
                        an.start();
                    }
                };
                a->start();
                ticks(10);
                return finished;
            },
            2},
           {"stack",
            [&] {
                int finished = 0;
                auto s = AnimatorStack::create();
                s->interval = kTickInterval;
                s->onFinished = [&](AnimatorStack& st) {
                    if (++finished == 1) {
                        st.add(Animator::create(0, 1, 3));
                        st.start();
                    }
                };
                s->start();
                ticks(10);
                return finished;
            },
            2},
           {"chain",
            [&] {
                int finished = 0;
                auto item = Animator::create(0, 1, 2);
                auto c = AnimatorChain::create();
                c->interval = kTickInterval;
                c->add(item);
                c->onFinished = [&](AnimatorChain& ch) {
                    if (++finished == 1) {
                        item->rewind();
                        ch.start();
                    }
                };
                c->start();
                ticks(20);
                return finished;
            },
            2},
           {"sequencer",
            [&] {
                int finished = 0;
                auto s = AnimationSequencer::create();
                s->interval = kTickInterval;
                s->add(Animator::create(0, 1, 1), 1);
                s->onFinished = [&](AnimationSequencer& sq) {
                    if (++finished == 1) {
                        sq.rewind();
                        sq.start();
                    }
                };
                s->start();
                ticks(20);
                return finished;
            },
            2},
           {"impulse",
            [&] {
                int finished = 0;
                auto i = Impulse::create(0, 0.01f, kTickInterval, 0.5f);
                i->onFinished = [&](Impulse& im) {
                    if (++finished == 1) {
                        im.setup(0, 0.01f, kTickInterval, 0.5f);
                        im.start();
                    }
                };
                i->start();
                ticks(20);
                return finished;
            },
            2}});
}

// A stop() from the object's own callback ends the tick before any item moves: each row answers
// the first item's value after one tick, or the impulse's number of moves.
TEST_F(AnimationClasses, StopFromACallbackEndsTheTick) {
    auto item = Animator::create(0, 1, 1);
    auto firstValue = [&](auto object) {
        item->rewind();
        object->onAnimation = [](auto& o, Animator&) { o.stop(); };
        object->animate();
        return static_cast<int>(item->getValue() * 100);
    };
    check({{"stack",
            [&] {
                auto s = AnimatorStack::create();
                s->add(item);
                s->add(Animator::create(0, 1, 5));
                return firstValue(s) + s->getCount();
            },
            0},
           {"chain",
            [&] {
                auto c = AnimatorChain::create();
                c->add(item);
                return firstValue(c);
            },
            0},
           {"sequencer",
            [&] {
                auto s = AnimationSequencer::create();
                s->interval = kTickInterval;
                s->add(item, 1);
                s->onAnimation = [](AnimationSequencer& sq, Animator&) { sq.stop(); };
                s->start();
                ticks(1);
                return static_cast<int>(item->getValue() * 100) + (s->isRunning() ? 1 : 0);
            },
            0},
           {"impulse",
            [&] {
                auto i = Impulse::create(0, 8.0f, kTickInterval, 0.5f);
                i->setMinMax(true, -100.0f, 1.0f);
                int moves = 0;
                i->onAnimation = [&](Impulse&) { ++moves; };
                i->onCollision = [](Impulse& im) { im.stop(); };
                i->animate();
                return moves + (i->isFinished() ? 0 : 1);
            },
            0}});
}

} // namespace
