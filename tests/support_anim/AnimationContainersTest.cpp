// The animation containers (stack, chain, sequencer) and what every animation class shares: a
// second start() replaces the running timer, a restart made from onFinished survives the end of
// the run, and a stop() from a callback ends the tick.
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AnimationSequencer.h"
#include "AnimatorChain.h"
#include "AnimatorStack.h"
#include "Impulse.h"
#include "VirtualClock.h"
#include "core/Console.h"

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

class AnimatorChainTest : public VirtualClockTest {
protected:
    void SetUp() override {
        VirtualClockTest::SetUp();
        for (int i = 0; i < 3; ++i)
            items.push_back(Animator::create(0, 1, 2));
        chain = AnimatorChain::create();
        chain->interval = kTickInterval;
        for (const auto& item : items)
            chain->add(item);
        chain->onAnimation = [this](AnimatorChain&, Animator& a) {
            worked.push_back(std::to_string(tick) + ":" + std::to_string(indexOf(a)));
        };
        chain->onFinished = [this](AnimatorChain&) { finishedOnTick = tick; };
    }
    int indexOf(const Animator& a) const {
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i].get() == &a) return static_cast<int>(i);
        return -1;
    }

    std::vector<std::shared_ptr<Animator>> items;
    std::shared_ptr<AnimatorChain> chain;
    std::vector<std::string> worked;
    int finishedOnTick = 0;
};

TEST_F(AnimatorChainTest, RemovalBeyondTheIndexMakesTheNextTickWorkOnTheNewLastItem) {
    chain->start();
    run(7); // item 2 is current
    chain->remove(items[2]);
    chain->remove(items[2]);                  // not in the list any more: no change
    chain->remove(Animator::create(0, 1, 1)); // never in the list: no change
    chain->remove(nullptr);
    EXPECT_EQ(chain->getCount(), 2);
    run(1);
    EXPECT_EQ(worked.back(), "8:1");
    chain->stop();
}

// A backward walk runs item 0 before it ends; getCurrentItem() answers for the first and the last
// index too.
TEST_F(AnimatorChainTest, BackwardWalkRunsItemZeroLast) {
    EXPECT_EQ(chain->getCurrentItem(), items[0]);
    EXPECT_EQ(AnimatorChain::create()->getCurrentItem(), nullptr);
    chain->start();
    run(6); // items 0 and 1 done, index 2
    EXPECT_EQ(chain->getCurrentItem(), items[2]);
    for (auto& item : items)
        item->rewind();
    chain->setBackwards(true);
    run(12);
    EXPECT_EQ(std::vector<std::string>(worked.begin() + 6, worked.end()),
              (std::vector<std::string>{"7:2", "8:2", "9:2", "10:1", "11:1", "12:1", "13:0", "14:0",
                                        "15:0"}));
    EXPECT_EQ(finishedOnTick, 15);
    EXPECT_EQ(chain->getCurrentIndex(), 0);
}

TEST_F(AnimatorChainTest, AsyncChainStartsOneItemPerTickOnItsOwnTimer) {
    for (auto& item : items)
        item->setInterval(kTickInterval);
    int itemsDone = 0;
    for (auto& item : items)
        item->onFinished = [&](Animator&, float) { ++itemsDone; };
    chain->async = true;
    chain->start();
    run(3);
    EXPECT_EQ(worked, (std::vector<std::string>{"1:0", "2:1", "3:2"}));
    EXPECT_EQ(finishedOnTick, 3);
    EXPECT_EQ(itemsDone, 0); // item 0, started on tick 1, ends on tick 4
    run(3);
    EXPECT_EQ(itemsDone, 3);
}

TEST_F(AnimatorChainTest, EmptyChainWarnsOnEveryTickAndNeverFinishes) {
    chain->removeAll();
    EXPECT_EQ(chain->getCount(), 0);
    pf::ConsoleCapture capture;
    chain->start();
    run(3);
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>(3, "WARNUNG: Es sind keine Animator Objekte definiert.")));
    EXPECT_EQ(finishedOnTick, 0);
    chain->stop();
}

class AnimationSequencerTest : public VirtualClockTest {
protected:
    void SetUp() override {
        VirtualClockTest::SetUp();
        seq = AnimationSequencer::create();
        seq->interval = kTickInterval;
        seq->onFinished = [this](AnimationSequencer&) { note("end"); };
    }
    std::shared_ptr<Animator> item(const std::string& name, std::int64_t frames,
                                   EnumEasing type = EnumEasing::EASING_easeNone) {
        auto a = Animator::create(0, 1, frames, Animator::kDefaultInterval, type);
        a->onAnimation = [this, name](Animator&, float) { note(name); };
        a->onFinished = [this, name](Animator&, float) { note(name + " done"); };
        return a;
    }
    bool has(const std::string& e) const {
        return std::find(log.begin(), log.end(), e) != log.end();
    }

    std::shared_ptr<AnimationSequencer> seq;
};

// An entry placed at frame 0 comes in on frame 1, and its end counts from there: the run must
// not end before the entry's last step.
TEST_F(AnimationSequencerTest, EntryPlacedAtFrameZeroCompletes) {
    auto a = item("a", 4);
    seq->add(a, 0);
    EXPECT_EQ(seq->getMaxFrames(), 5);
    seq->start();
    run(7);
    EXPECT_TRUE(has("5 a done"));
    EXPECT_EQ(log.back(), "5 end");
    EXPECT_TRUE(a->isFinished());
}

// A replayed entry keeps its curve.
TEST_F(AnimationSequencerTest, SeekFinishesEarlierEntriesAndRewindsLaterOnesWithTheirCurves) {
    auto early = item("early", 4);
    auto late = item("late", 4, EnumEasing::EASING_easeInCubic);
    seq->add(early, 1);
    seq->add(late, 5);
    seq->start();
    run(6);
    seq->seek(3);
    EXPECT_TRUE(early->isFinished());
    EXPECT_FALSE(late->isFinished());
    EXPECT_EQ(late->getType(), EnumEasing::EASING_easeInCubic);
    EXPECT_EQ(late->getValue(), 0.0f);
    EXPECT_EQ(seq->getCurrentIndex(), 1);
    seq->seek(100);
    EXPECT_FALSE(seq->isRunning());
    EXPECT_EQ(seq->getCurrentFrame(), 0);
}

TEST_F(AnimationSequencerTest, AbsentItemIsReportedAndIgnored) {
    pf::ConsoleCapture capture;
    seq->add(nullptr, 3);
    EXPECT_EQ(capture.lines(),
              (std::vector<std::string>{"FEHLER: Das Animator Objekt ist ungültig."}));
    EXPECT_EQ(seq->getCount(), 0);
}

// Removing an absent entry, or searching from an index past the end, does nothing.
TEST_F(AnimationSequencerTest, RemovalsThatLeaveTheIndexBeyondTheEndAreHarmless) {
    auto a = item("a", 2);
    auto b = item("b", 8);
    seq->add(a, 1);
    seq->add(b, 2);
    seq->start();
    run(2);
    EXPECT_EQ(seq->getCurrentIndex(), 1);
    seq->remove(b);
    seq->remove(b);
    seq->remove(nullptr);
    seq->remove(item("never", 1));
    EXPECT_EQ(seq->getCount(), 1);
    run(2); // the search range is empty; entries in play go on
    EXPECT_TRUE(has("3 a done"));
    EXPECT_TRUE(has("4 b"));
    seq->stop();
}

// A placement near the end of the frame range saturates the end frame instead of overflowing.
TEST_F(AnimationSequencerTest, EndFrameSaturates) {
    seq->add(item("far", 100), std::numeric_limits<std::int64_t>::max() - 10);
    EXPECT_EQ(seq->getMaxFrames(), std::numeric_limits<std::int64_t>::max());
}

TEST_F(AnimationSequencerTest, PauseLetsTheClockRunAndContinueBringsInPassedEntries) {
    seq->add(item("a", 10), 1);
    seq->add(item("b", 10), 3);
    seq->start();
    seq->pause();
    run(4);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(seq->getCurrentFrame(), 4);
    seq->continue_();
    run(1);
    EXPECT_EQ(log, (std::vector<std::string>{"5 a", "5 b"}));
    seq->stop();
}

} // namespace
