#include "AnimatorChain.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "VirtualClock.h"
#include "core/Console.h"

namespace {

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

TEST_F(AnimatorChainTest, ForwardChainStepsEachItemForItsNPlusOneTicks) {
    chain->start();
    run(12);
    EXPECT_EQ(worked, (std::vector<std::string>{"1:0", "2:0", "3:0", "4:1", "5:1", "6:1", "7:2",
                                                "8:2", "9:2"}));
    EXPECT_EQ(finishedOnTick, 9);
    EXPECT_EQ(chain->getCurrentIndex(), 0);
    EXPECT_FALSE(chain->isRunning());
}

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

} // namespace
