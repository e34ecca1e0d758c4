#include <gtest/gtest.h>

#include <cmath>

#include "IfaceHarness.h"

using namespace ifacetest;

namespace {
class Overlay : public ::testing::Test {
protected:
    Harness h;
    void SetUp() override { h.show(); }
    pf::UIView& info() { return *h.controller->infoView; }
};
} // namespace

TEST_F(Overlay, AMessageFadesInThenOutAndTheOverlayEndsHiddenWithItsLastAlpha) {
    h.controller->showInfo("Preset loaded");
    EXPECT_FALSE(info().isHidden()); // at once, before the first tick
    EXPECT_EQ(info().alpha(), 0.0);
    EXPECT_EQ(h.controller->infoMessage->text(), "Preset loaded");

    // Sample every tick (the animator's interval is 0.009 s as a float).
    double highest = 0;
    int ticks = 0;
    for (; ticks < 600 && !info().isHidden(); ++ticks) {
        h.runFor(std::chrono::microseconds(8999));
        h.runFor(std::chrono::nanoseconds(1000));
        highest = std::max(highest, info().alpha());
    }
    EXPECT_TRUE(info().isHidden());
    // 321 ticks in, 121 out.
    EXPECT_NEAR(ticks, 442, 2);
    EXPECT_LT(highest, 1.0); // the fade-in never reaches 1
    EXPECT_GT(highest, 0.999);
    const double lastIn = 1 - std::pow(2.0, -10.0 * 319.0 / 320.0);
    const double step119 = lastIn * (1 - std::pow(2.0, 10.0 * (119.0 / 120.0 - 1.0)));
    EXPECT_NEAR(info().alpha(), step119, 1e-5); // about 0.056
    EXPECT_NEAR(info().transform().a, info().alpha(), 1e-6);
    EXPECT_EQ(h.controller->infoMessage->text(), "");
}
