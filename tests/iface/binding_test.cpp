#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "IfaceHarness.h"

using namespace ifacetest;
using pf::CGPoint;

namespace {
std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}
} // namespace

TEST(Binding, ViewFirstThenFactoryConnectsTheTreeAndShowsTheUnitsValues) {
    Harness h;
    h.show();
    auto unit = std::static_pointer_cast<Orvex_Compander_Extension_AudioUnit>(
        h.controller->createAudioUnit(Orvex_Compander_Extension_AudioUnit::kComponentDescription));
    h.drain();
    const auto lines = h.lines();
    const std::vector<std::string> order{
        "AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?).",
        "AU Diagnostics: AUAudioUnit::didSet()",
        "AU Diagnostics: We are about to connect the audio unit to its view controller.",
        "AU Diagnostics: Retriving parameters from the audio unit: ",
        "ExtensionViewController: Extracting at the parameter tree: ",
        "AU Diagnostics: Connected parameters to the plugins interface.",
        "editor received parameter : address: 0, value: 0.1",
        "editor received parameter : address: 11, value: 1.0",
    };
    std::size_t last = 0;
    for (const auto& line : order) {
        const std::size_t at = indexOf(lines, line);
        ASSERT_LT(at, lines.size()) << line;
        EXPECT_GE(at, last) << line;
        last = at;
    }
    const std::size_t connect = indexOf(lines, order[2]);
    EXPECT_EQ(lines[connect + 1].rfind("Audio Unit's documents path is: ", 0), 0u);
    EXPECT_EQ(lines[connect + 2].rfind("Audio Unit's resources path is: ", 0), 0u);
    EXPECT_EQ(h.controller->parameterList().size(), 12u);
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueThreshold, 0.8f);
    // The panel model reaches the unit through its controller, and none without one.
    EXPECT_EQ(h.controller->mainView->baseClass->audioUnit(), unit);
    EXPECT_EQ(OrvexCompressorViewBase().audioUnit(), nullptr);
}

TEST(Binding, AUnitWhoseContinuationRanBeforeTheViewLoadedIsConnectedByViewDidLoad) {
    Harness h;
    auto unit = makeUnit();
    h.controller->setAudioUnit(unit);
    h.drain(); // the continuation finds no view
    EXPECT_TRUE(h.has("AU Diagnostics: WARNING: Plugin view is not loaded."));
    EXPECT_FALSE(h.has("AU Diagnostics: Connected parameters to the plugins interface."));
    h.show();
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 1u);
    // The panel shows the unit's values, so the first drag starts from them ...
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueAttack, 0.1f);
    // ... and follows the host.
    unit->parameterTree()->parameterWithAddress(3)->setValue(0.7f);
    h.drain();
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueRatio, 0.7f);
    // A later continuation of the same assignment connects nothing twice.
    h.drain();
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 1u);
}

TEST(Binding, HostChangesReachThePanelOnceOnTheMainThreadAfterTheObserverReturned) {
    Harness h;
    h.show();
    auto unit = makeUnit();
    h.controller->setAudioUnit(unit);
    h.drain();
    h.controller->setAudioUnit(unit); // a second assignment replaces the observer
    h.drain();
    h.console.clear();
    std::thread host([&] { unit->parameterTree()->parameterWithAddress(3)->setValue(0.25f); });
    host.join();
    EXPECT_FALSE(h.has("editor received parameter : address: 3, value: 0.25")); // queued only
    h.drain();
    EXPECT_EQ(h.count("editor received parameter : address: 3, value: 0.25"), 1u);

    // A new unit: changes on the old one's tree no longer move the panel.
    auto other = makeUnit();
    h.controller->setAudioUnit(other);
    h.drain();
    h.console.clear();
    unit->parameterTree()->parameterWithAddress(3)->setValue(0.9f);
    h.drain();
    EXPECT_FALSE(h.has("editor received parameter : address: 3, value: 0.9"));
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueRatio, 0.5f);
}

// The panel's controls reach the unit's tree through the delegate. A knob follows the drag up or
// to the right from its touch-down value and ends on it when lifted where it went down; the pan
// on the controller's view saw the drag too, but the knob held the touch lock, so the panel
// stays. The mode button cycles, and a cancelled touch releases the lock.
TEST(Binding, PanelControlsSetTheUnitsParametersAndLeaveThePanelInPlace) {
    Harness h;
    h.show();
    auto unit = makeUnit();
    h.controller->setAudioUnit(unit);
    h.drain();
    h.window->runPasses();
    const auto& base = *h.controller->mainView->baseClass;
    const auto value = [&](int address) {
        return unit->parameterTree()->parameterWithAddress(address)->value();
    };
    ASSERT_DOUBLE_EQ(base.viewScale.width, 1.5); // 768 x 510 panel
    const pf::CGRect panelBefore = h.controller->pluginView->frame();
    const CGPoint start = h.panelPoint(Harness::centre(base.hotspotAttackPath));
    h.down(start);
    EXPECT_TRUE(base.isAttackActive);
    const struct {
        CGPoint offset;
        float expected;
    } moves[] = {{{0, -30}, 0.2f}, {{0, -60}, 0.3f}, {{60, 0}, 0.3f}, {{0, 300}, 0}};
    for (const auto& m : moves) {
        h.move({start.x + m.offset.x, start.y + m.offset.y});
        EXPECT_FLOAT_EQ(value(0), m.expected) << m.offset.x << ", " << m.offset.y;
        EXPECT_TRUE(h.controller->touchesLocked);
    }
    h.up(start);
    EXPECT_FLOAT_EQ(value(0), 0.1f);
    EXPECT_FALSE(base.isAttackActive);
    EXPECT_FALSE(h.controller->touchesLocked);
    EXPECT_EQ(h.controller->pluginView->frame(), panelBefore);

    for (const float mode : {1.0f, 2.0f, 0.0f}) {
        h.runFor(1s);
        h.click(h.panelPoint(Harness::centre(base.hotspotModePath)));
        EXPECT_EQ(value(6), mode);
    }
    h.down(h.panelPoint(Harness::centre(base.hotspotRatioPath)));
    ASSERT_TRUE(h.controller->touchesLocked);
    h.send(pf::InputEvent::Kind::focusLost, {});
    EXPECT_FALSE(base.isRatioActive);
    EXPECT_FALSE(h.controller->touchesLocked);
}
