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

// The real unit, with meters the test sets instead of rendering, and the refreshes that read
// them counted.
class MeterUnit : public Unit {
public:
    MeterUnit() : Unit(kComponentDescription, 0) {}
    std::atomic<float> meters[4] = {0.25f, 0.75f, 0.125f, 0.375f};
    std::atomic<int> reads{0};
    float getDynamicsValue1() override {
        ++reads;
        return meters[0];
    }
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

class Meters : public ::testing::Test {
protected:
    Harness h;
    std::shared_ptr<MeterUnit> unit = std::make_shared<MeterUnit>();
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

// The real unit rendered by a host: the needles and dots show what the unit reports for each
// channel. At full ratio a silent channel is lifted (its needle flat to the right); with the
// ratio at its middle a quiet channel stays at unity gain (straight up) while the dots follow
// the output, the louder channel's further round.
TEST(Needles, EachNeedleAndDotShowsItsOwnChannelAsTheUnitRenders) {
    Harness h;
    const auto unit = h.open(makeUnit());
    unittest::RenderHarness host(unit);
    host.allocate();
    const struct {
        float ratio, threshold, left, right;
        double leftNeedle, rightNeedle; // where physics says exactly (NaN: elsewhere)
    } rows[] = {{1, 0.5f, 0, 0.8f, 90, NAN},
                {1, 0.5f, 0.8f, 0, NAN, 90},
                {0.5f, 0, 0, 0.8f, 0, NAN},
                {0.5f, 0, 0.2f, 0.8f, 0, NAN}}; // the gain steady, the left output not
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << "ratio " << row.ratio << ", levels " << row.left << " and " << row.right);
        unit->setParameter(2, row.threshold);
        unit->setParameter(3, row.ratio);
        host.setInput(tone(row.left), tone(row.right));
        for (int i = 0; i < 50; ++i)
            host.renderCycle(480);
        h.runFor(40ms);
        EXPECT_TRUE(shows(h, {unit->getDynamicsValue1(), unit->getDynamicsValue2(),
                              unit->getPeakValue1(), unit->getPeakValue2()}));
        const auto shown = shownMeters(h);
        EXPECT_EQ(std::fabs(shown[0] - row.leftNeedle) < 2, !std::isnan(row.leftNeedle));
        EXPECT_EQ(std::fabs(shown[1] - row.rightNeedle) < 2, !std::isnan(row.rightNeedle));
        EXPECT_GT((shown[3] - shown[2]) * (row.right - row.left), 0) << "the louder dot";
        EXPECT_TRUE(row.left != 0 || shown[2] < -85) << "a silent channel's dot lies flat";
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

// A value that is no number draws no needle, not even at rest, while the other still shows.
// The scale under the needles is dashed.
TEST(Needles, AValueWithNoNumberDrawsNoNeedle) {
    Harness h;
    const auto unit = h.open(std::make_shared<MeterUnit>());
    unit->meters[0] = std::nanf("");
    h.runFor(40ms);
    const pf::ImageSurface img = h.shown();
    EXPECT_TRUE(std::isnan(h.meter(img, 50, true)));
    EXPECT_NEAR(h.meter(img, 50, false), 45, 2);
    int ink = 0, gaps = 0;
    for (double x = 249; x <= 265; x += 0.25)
        ++(grey(h.pixel(img, {x, 139})) ? ink : gaps);
    EXPECT_GT(ink, 10);
    EXPECT_GT(gaps, 10);
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
