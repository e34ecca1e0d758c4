#include <gtest/gtest.h>

#include <cmath>

#include "IfaceHarness.h"

using namespace ifacetest;

namespace {

// Shows the panel and a message on it: the overlay shows at once, before the first tick.
pf::UIView& showMessage(Harness& h) {
    h.show();
    pf::UIView& info = *h.controller->infoView;
    h.controller->showInfo("Preset loaded");
    EXPECT_FALSE(info.isHidden());
    EXPECT_EQ(info.alpha(), 0.0);
    EXPECT_EQ(h.controller->infoMessage->text(), "Preset loaded");
    return info;
}

} // namespace

// A message shows at once, grows and fades in for about three seconds, then shrinks and fades
// out for about one, and the overlay ends hidden, at the faint alpha its fade-out stops at, with
// its text cleared. Seen twice, each time in a new window: at a few moments, then at every tick.
TEST(Overlay, AMessageFadesInThenOutAndTheOverlayEndsHiddenWithItsLastAlpha) {
    {
        Harness h;
        pf::UIView& info = showMessage(h);
        h.runFor(2800ms);
        EXPECT_GT(info.alpha(), 0.99);
        h.runFor(700ms);
        EXPECT_FALSE(info.isHidden());
        EXPECT_LT(info.alpha(), 0.99); // fading out
        EXPECT_NEAR(info.transform().a, info.alpha(), 1e-6);
        h.runFor(700ms);
        EXPECT_TRUE(info.isHidden());
        EXPECT_NEAR(info.alpha(), 0.056, 0.005);
        EXPECT_EQ(h.controller->infoMessage->text(), "");
    }
    Harness h;
    pf::UIView& info = showMessage(h);

    // Sample every tick (the animator's interval is 0.009 s as a float).
    double highest = 0;
    int ticks = 0;
    for (; ticks < 600 && !info.isHidden(); ++ticks) {
        h.runFor(std::chrono::microseconds(8999));
        h.runFor(std::chrono::nanoseconds(1000));
        highest = std::max(highest, info.alpha());
    }
    EXPECT_TRUE(info.isHidden());
    // 321 ticks in, 121 out.
    EXPECT_NEAR(ticks, 442, 2);
    EXPECT_LT(highest, 1.0); // the fade-in never reaches 1
    EXPECT_GT(highest, 0.999);
    const double lastIn = 1 - std::pow(2.0, -10.0 * 319.0 / 320.0);
    const double step119 = lastIn * (1 - std::pow(2.0, 10.0 * (119.0 / 120.0 - 1.0)));
    EXPECT_NEAR(info.alpha(), step119, 1e-5); // about 0.056
    EXPECT_NEAR(info.transform().a, info.alpha(), 1e-6);
    EXPECT_EQ(h.controller->infoMessage->text(), "");
}
