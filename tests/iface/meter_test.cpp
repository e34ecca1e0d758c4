#include <gtest/gtest.h>

#include "IfaceHarness.h"
#include "core/Timer.h"

using namespace ifacetest;

namespace {
class Meters : public ::testing::Test {
protected:
    Harness h;
    std::shared_ptr<MeterUnit> unit = makeUnit();
    void SetUp() override {
        h.show();
        h.controller->setAudioUnit(unit);
        h.drain();
    }
    int ticksIn(std::chrono::milliseconds d) {
        const int before = unit->reads;
        h.runFor(d);
        return unit->reads - before;
    }
};
} // namespace

TEST_F(Meters, TheRefreshSkipsWhileBypassedByTheHostOrByParameterSeven) {
    unit->setShouldBypassEffect(true);
    EXPECT_EQ(ticksIn(200ms), 0);
    unit->setShouldBypassEffect(false);
    EXPECT_EQ(ticksIn(200ms), 5);
    unit->setParameter(7, 1.0f);
    h.drain();
    EXPECT_EQ(ticksIn(200ms), 0);
    unit->setParameter(7, 0.0f);
    h.drain();
    EXPECT_EQ(ticksIn(40ms), 1);
}

TEST_F(Meters, TheRefreshSkipsWhileThePanelCannotBeSeen) {
    h.controller->mainView->setHidden(true);
    EXPECT_EQ(ticksIn(200ms), 0);
    h.controller->mainView->setHidden(false);
    h.controller->pluginView->setHidden(true); // an ancestor
    EXPECT_EQ(ticksIn(200ms), 0);
    h.controller->pluginView->setHidden(false);
    h.window->setHidden(true); // the top-most view does not count
    EXPECT_EQ(ticksIn(200ms), 5);
    h.window->setHidden(false);
    // Dragged off its superview's bounds, or still overlapping them.
    const pf::CGRect fitted = h.controller->pluginView->frame();
    h.controller->pluginView->setFrame(fitted.offsetBy(fitted.size.width + 1, 0));
    EXPECT_EQ(ticksIn(200ms), 0);
    h.controller->pluginView->setFrame(fitted.offsetBy(fitted.size.width - 1, 0));
    EXPECT_EQ(ticksIn(200ms), 5);
    // Out of the window: no update and no message.
    h.controller->view()->removeFromSuperview();
    h.console.clear();
    EXPECT_EQ(ticksIn(200ms), 0);
    EXPECT_TRUE(h.lines().empty());
}

// The host closes the plug-in: the controller and its views go, and its timer stops, although
// the unit lives on.
TEST(ControllerLifetime, AClosedControllerStopsItsTimerAndIsFreedWithItsViews) {
    auto unit = makeUnit();
    Harness h;
    h.show();
    h.controller->setAudioUnit(unit);
    h.drain();
    h.runFor(100ms);
    const std::weak_ptr<AudioUnitViewController> weakController = h.controller;
    const std::weak_ptr<pf::UIView> weakPanel = h.controller->mainView;
    const auto timer = h.controller->timer();
    ASSERT_TRUE(timer && timer->isValid());
    h.controller->view()->removeFromSuperview();
    h.controller.reset();
    EXPECT_TRUE(weakController.expired());
    EXPECT_TRUE(weakPanel.expired());
    EXPECT_FALSE(timer->isValid());
}
