#include "AnimationSequencer.h"

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VirtualClock.h"
#include "core/Console.h"

namespace {

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

TEST_F(AnimationSequencerTest, PlacementsComeInOnTheirFramesAndTheRunEndsAfterTheLastStep) {
    seq->add(item("b", 4), 3);
    seq->add(item("a", 4), 1);
    EXPECT_EQ(seq->getMaxFrames(), 7);
    seq->start();
    run(9);
    EXPECT_EQ(log, (std::vector<std::string>{"1 a", "2 a", "3 a", "3 b", "4 a", "4 b", "5 a done",
                                             "5 b", "6 b", "7 b done", "7 end"}));
    EXPECT_EQ(seq->getCurrentFrame(), 0);
    EXPECT_FALSE(seq->isRunning());
}

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
    late->animate();
    late->animate();
    EXPECT_FLOAT_EQ(late->getValue(), 0.125f); // cubic at frame 2 of 4
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
