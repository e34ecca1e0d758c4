// The needle meter: the first gain needle and peak dot (red) show the left channel, the second
// (blue) the right; each follows its own value within a refresh, and stands still while the
// unit is bypassed or the panel cannot be seen.
#include <gtest/gtest.h>

#include <atomic>

#include "IfaceHarness.h"
#include "RenderHarness.h"
#include "core/Timer.h"

using namespace ifacetest;

namespace {

// The real unit, with meters the test sets instead of rendering.
class MeterUnit : public Unit {
public:
    MeterUnit() : Unit(kComponentDescription, 0) {}
    std::atomic<float> meters[4] = {0.25f, 0.75f, 0.125f, 0.375f};
    float getDynamicsValue1() override { return meters[0]; }
    float getDynamicsValue2() override { return meters[1]; }
    float getPeakValue1() override { return meters[2]; }
    float getPeakValue2() override { return meters[3]; }
};

// The meter's scale: a value of 0.5 points straight up, 0 and 1 flat to the left and right.
double degrees(double value) {
    return (value - 0.5) * 180;
}

// The gain needles and the peak dots, left then right, in degrees.
std::array<double, 4> shownMeters(Harness& h) {
    const pf::ImageSurface img = h.shown();
    return {h.meter(img, 50, true), h.meter(img, 50, false), h.meter(img, 87, true),
            h.meter(img, 87, false)};
}

::testing::AssertionResult shows(Harness& h, std::array<float, 4> meters) {
    const auto shown = shownMeters(h);
    for (int i = 0; i < 4; ++i)
        if (!(std::fabs(shown[i] - degrees(meters[i])) <= 2))
            return ::testing::AssertionFailure()
                   << "mark " << i << " at " << shown[i] << " degrees for " << meters[i];
    return ::testing::AssertionSuccess();
}

std::vector<float> tone(float amplitude) {
    std::vector<float> v(4800);
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = amplitude * static_cast<float>(std::sin(2 * M_PI * 480.0 * i / 48000.0));
    return v;
}

} // namespace

// The real unit rendered by a host, one channel silent and the other loud: the needles and dots
// show what the unit reports for each channel. At full ratio the silent channel is lifted (its
// needle flat to the right); with the ratio at its middle the gain stays at unity (both needles
// straight up) while the dots follow the channels' output (the silent one's flat to the left).
TEST(Needles, EachNeedleAndDotShowsItsOwnChannelAsTheUnitRenders) {
    Harness h;
    const auto unit = h.open(makeUnit());
    unittest::RenderHarness host(unit);
    host.allocate();
    unit->setParameter(2, 0.5f);
    const struct {
        float ratio, left, right;
        bool leftLifted, rightLifted; // a needle flat to the right
    } rows[] = {{1, 0, 0.8f, true, false}, {1, 0.8f, 0, false, true},
                {0.5f, 0, 0.8f, false, false}, {0.5f, 0.8f, 0, false, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << "ratio " << row.ratio << ", levels " << row.left
                                          << " and " << row.right);
        unit->setParameter(3, row.ratio);
        host.setInput(tone(row.left), tone(row.right));
        for (int i = 0; i < 50; ++i)
            host.renderCycle(480);
        h.runFor(40ms);
        const auto shown = shownMeters(h);
        const float reported[4] = {unit->getDynamicsValue1(), unit->getDynamicsValue2(),
                                   unit->getPeakValue1(), unit->getPeakValue2()};
        for (int i = 0; i < 4; ++i) {
            if (i == 1 && reported[0] == reported[1]) continue; // the first needle covers it
            EXPECT_NEAR(shown[i], degrees(reported[i]), 2) << "mark " << i;
        }
        EXPECT_EQ(std::fabs(shown[0] - 90) < 2, row.leftLifted);
        EXPECT_EQ(std::fabs(shown[1] - 90) < 2, row.rightLifted);
        EXPECT_LT(shown[row.left == 0 ? 2 : 3], -85) << "the silent channel's dot";
        EXPECT_GT(std::fabs(shown[2] - shown[3]), 20);
    }
}

// Gates on the refresh: while one holds, new meter values do not reach the needles; once it is
// lifted the needles still show the old values until the next refresh shows the new. Hiding
// the window itself does not stop the refresh.
TEST(Needles, StandStillWhileBypassedOrWhileThePanelCannotBeSeen) {
    Harness h;
    const auto unit = h.open(std::make_shared<MeterUnit>());
    auto& c = *h.controller;
    const pf::CGRect fitted = c.pluginView->frame();
    const std::array<float, 4> a{0.25f, 0.75f, 0.125f, 0.375f}, b{0.25f, 0.6f, 0.7f, 0.9f};
    const struct {
        const char* gate;
        std::function<void(bool)> hold;
        bool refreshes;
    } gates[] = {
        {"the host bypasses the unit", [&](bool on) { unit->setShouldBypassEffect(on); }, false},
        {"the panel's bypass is on", [&](bool on) { unit->setParameter(7, on ? 1.0f : 0.0f); },
         false},
        {"the panel is hidden", [&](bool on) { c.mainView->setHidden(on); }, false},
        {"a view holding the panel is hidden", [&](bool on) { c.pluginView->setHidden(on); },
         false},
        {"the panel is dragged off its area",
         [&](bool on) { c.pluginView->setFrame(on ? fitted.offsetBy(1025, 0) : fitted); }, false},
        {"the panel is dragged nearly off its area",
         [&](bool on) { c.pluginView->setFrame(on ? fitted.offsetBy(1023, 0) : fitted); }, true},
        {"the window is hidden", [&](bool on) { h.window->setHidden(on); }, true},
    };
    for (const auto& g : gates) {
        SCOPED_TRACE(g.gate);
        std::copy(a.begin(), a.end(), unit->meters);
        h.runFor(40ms);
        ASSERT_TRUE(shows(h, a));
        g.hold(true);
        h.drain();
        std::copy(b.begin(), b.end(), unit->meters);
        h.runFor(200ms);
        g.hold(false);
        h.drain();
        EXPECT_TRUE(shows(h, g.refreshes ? b : a));
        h.runFor(40ms);
        EXPECT_TRUE(shows(h, b));
    }
    // Out of the window: no refresh, and no message.
    std::copy(a.begin(), a.end(), unit->meters);
    c.view()->removeFromSuperview();
    h.console.clear();
    h.runFor(200ms);
    EXPECT_TRUE(h.lines().empty());
    h.show();
    EXPECT_TRUE(shows(h, b));
}

// The host closes the plug-in: the controller and its views go, and its timer stops, although
// the unit lives on.
TEST(ControllerLifetime, AClosedControllerStopsItsTimerAndIsFreedWithItsViews) {
    Harness h;
    const auto unit = h.open(makeUnit());
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
