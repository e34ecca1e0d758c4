#include <gtest/gtest.h>

#include "IfaceHarness.h"

using namespace ifacetest;

// A message shows at once, grows and fades in for about three seconds, then shrinks and fades
// out for about one, and the overlay ends hidden, at the faint alpha its fade-out stops at, with
// its text cleared.
TEST(Overlay, AMessageFadesInThenOutAndTheOverlayEndsHiddenWithItsLastAlpha) {
    Harness h;
    h.show();
    pf::UIView& info = *h.controller->infoView;
    h.controller->showInfo("Preset loaded");
    EXPECT_FALSE(info.isHidden()); // at once, before the first tick
    EXPECT_EQ(info.alpha(), 0.0);
    EXPECT_EQ(h.controller->infoMessage->text(), "Preset loaded");
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
