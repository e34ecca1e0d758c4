#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "IfaceHarness.h"

using namespace ifacetest;
using pf::CGPoint;

namespace {

struct Delegate : OrvexCompressorViewDelegate {
    std::vector<std::pair<int, float>> sent;
    void onOrvexCompressorViewParameter(int address, float value) override {
        sent.emplace_back(address, value);
    }
    void onOrvexCompressorViewOption(int, float) override {}
};

// The panel alone in a window, at a drawing scale of 2.
class Panel : public ::testing::Test {
protected:
    touchtest::Harness h{{0, 0, 1024, 680}};
    pf::ConsoleCapture console;
    std::shared_ptr<AudioUnitViewController> controller = AudioUnitViewController::make();
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
    std::shared_ptr<OrvexCompressorView> view =
        std::make_shared<OrvexCompressorView>(pf::CGRect{0, 0, 1024, 680});
    std::vector<std::string> events;

    void SetUp() override {
        h.window->addSubview(view);
        view->setViewController(controller);
        view->setDelegate(delegate);
        h.window->runPasses();
        const std::pair<std::uint32_t, const char*> names[] = {
            {pf::UIControlEventTouchDown, "down"},
            {pf::UIControlEventValueChanged, "value"},
            {pf::UIControlEventTouchUpInside, "upIn"},
            {pf::UIControlEventTouchUpOutside, "upOut"},
            {pf::UIControlEventTouchCancel, "cancel"}};
        for (const auto& [event, name] : names) {
            std::string n = name;
            view->addTarget(
                nullptr, n, [this, n](pf::UIControl&, const pf::UIEvent*) { events.push_back(n); },
                event);
        }
    }
    CGPoint at(const pf::UIBezierPath& hotspot) const {
        const CGPoint c = Harness::centre(hotspot);
        return {c.x * 2, c.y * 2};
    }
    OrvexCompressorViewBase& base() { return *view->baseClass; }
};

} // namespace

TEST_F(Panel, AKnobFollowsTheDragFromItsTouchDownValueInDesignUnits) {
    ASSERT_EQ(base().viewScale.width, 2.0);
    base().valueAttack = 0.3;
    const CGPoint p = at(base().hotspotAttackPath);
    h.down(p);
    EXPECT_TRUE(base().isAttackActive);
    EXPECT_TRUE(controller->touchesLocked);
    h.move({p.x, p.y - 200}); // 100 design units up
    EXPECT_FLOAT_EQ(delegate->sent.back().second, 0.8f);
    EXPECT_EQ(delegate->sent.back().first, 0);
    h.move({p.x, p.y + 200}); // down: 0.3 - 0.5, clamped
    EXPECT_EQ(delegate->sent.back().second, 0.0f);
    h.move({p.x, p.y - 600}); // 300 units: the step clamps to 1 before the subtraction
    EXPECT_EQ(delegate->sent.back().second, 1.0f);
    h.move({p.x + 200, p.y - 200}); // up and right at once
    EXPECT_EQ(delegate->sent.back().second, 1.0f);
    h.up(p); // back where it went down: the saved value again
    EXPECT_FLOAT_EQ(delegate->sent.back().second, 0.3f);
    EXPECT_FALSE(base().isAttackActive);
    EXPECT_FALSE(controller->touchesLocked);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "value", "value", "value", "value", "value",
                                                "upIn"}));
}

TEST_F(Panel, TogglesAndTheModeButtonSendOnTouchDown) {
    h.click(at(base().hotspotBypassPath));
    h.click(at(base().hotspotBypassPath));
    h.click(at(base().hotspotAuditionPath));
    for (int i = 0; i < 3; ++i)
        h.click(at(base().hotspotModePath));
    EXPECT_EQ(delegate->sent,
              (std::vector<std::pair<int, float>>{
                  {7, 1.0f}, {7, 0.0f}, {8, 1.0f}, {6, 1.0f}, {6, 2.0f}, {6, 0.0f}}));
    EXPECT_EQ(base().valueMode, "dual");
    EXPECT_FALSE(base().isBypassActive);
    EXPECT_TRUE(base().isAuditioSelected);
    // Moving on a toggle sends no value but valueChanged.
    events.clear();
    const CGPoint b = at(base().hotspotBypassPath);
    h.down(b);
    h.move({b.x + 4, b.y});
    h.up({b.x + 4, b.y});
    EXPECT_EQ(delegate->sent.size(), 7u);
    EXPECT_EQ(events, (std::vector<std::string>{"down", "value", "value", "upIn"}));
}

// A touch between hotspots unlocks and sends only the lift; a cancelled touch clears the flag
// and the lock but keeps the hotspot; without a delegate nothing happens.
TEST_F(Panel, TouchesOffTheControlsCancelledOrWithoutADelegateSendNothing) {
    controller->touchesLocked = true;
    h.click({133 * 2, 50 * 2});
    EXPECT_FALSE(controller->touchesLocked);
    EXPECT_EQ(view->currentHotspot(), "");
    EXPECT_EQ(events, (std::vector<std::string>{"upIn"}));
    EXPECT_TRUE(delegate->sent.empty());

    events.clear();
    h.down(at(base().hotspotRatioPath));
    h.send(pf::InputEvent::Kind::focusLost, {});
    EXPECT_FALSE(base().isRatioActive);
    EXPECT_FALSE(controller->touchesLocked);
    EXPECT_EQ(view->currentHotspot(), "ratio");
    EXPECT_EQ(events, (std::vector<std::string>{"down", "cancel"}));

    view->setDelegate(nullptr);
    h.click(at(base().hotspotBypassPath));
    EXPECT_TRUE(delegate->sent.empty());
    EXPECT_FALSE(base().isBypassSelected);
}

TEST_F(Panel, HostValuesMapIntoTheModelAndAreLogged) {
    view->setParameter(6, 2.9f);
    EXPECT_EQ(base().valueMode, "m/s");
    view->setParameter(6, 3.0f);
    EXPECT_EQ(base().valueMode, "m/s");
    view->setParameter(6, -0.5f);
    EXPECT_EQ(base().valueMode, "dual");
    view->setParameter(6, std::numeric_limits<float>::quiet_NaN());
    view->setParameter(6, 1e30f);
    EXPECT_EQ(base().valueMode, "dual");
    view->setParameter(7, 1.0f);
    EXPECT_TRUE(base().isBypassSelected);
    view->setParameter(7, 0.999f);
    EXPECT_FALSE(base().isBypassSelected);
    view->setParameter(2, 1.5f); // unclamped
    EXPECT_DOUBLE_EQ(base().valueThreshold, 1.5);
    console.clear();
    view->setParameter(11, 1.0f);
    EXPECT_EQ(console.lines(),
              (std::vector<std::string>{"editor received parameter : address: 11, value: 1.0"}));
}
