// Connecting the unit and the panel: the console lines of the connection with the dump of the
// parameter tree, the panel showing the unit's values and following the host.
#include <gtest/gtest.h>

#include <thread>

#include "IfaceHarness.h"

using namespace ifacetest;
using pf::AUParameterTree;

namespace {

std::size_t indexOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

// The real unit with a tree of the test's making.
class TreeUnit : public Unit {
public:
    TreeUnit() : Unit(kComponentDescription, 0) {}
    std::shared_ptr<pf::AUParameterTree> tree;
    std::shared_ptr<pf::AUParameterTree> parameterTree() override { return tree; }
};

std::vector<std::string> dumpOf(const std::shared_ptr<pf::AUParameterTree>& tree) {
    Harness h;
    auto unit = std::make_shared<TreeUnit>();
    unit->tree = tree;
    h.open(unit);
    const auto all = h.lines();
    const auto from = std::find(all.begin(), all.end(),
                                "ExtensionViewController: Extracting at the parameter tree: ");
    const auto to = std::find(all.begin(), all.end(),
                              "AU Diagnostics: Connected parameters to the plugins interface.");
    if (from == all.end() || to == all.end()) return {"<no dump>"};
    return {from + 1, to};
}

} // namespace

TEST(Binding, ViewFirstThenFactoryConnectsTheTreeAndShowsTheUnitsValues) {
    Harness h;
    h.show();
    auto unit = h.controller->createAudioUnit(Unit::kComponentDescription);
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
    EXPECT_NEAR(h.pointer(h.shown(), kKnobs[2]), 87, 3); // the unit's threshold, 0.8
    // The panel model reaches the unit through its controller, and none without one.
    EXPECT_EQ(h.controller->mainView->baseClass->audioUnit(), unit);
    EXPECT_EQ(OrvexCompressorViewBase().audioUnit(), nullptr);
}

TEST(Binding, AUnitWhoseContinuationRanBeforeTheViewLoadedIsConnectedByViewDidLoad) {
    Harness h;
    auto unit = makeUnit();
    h.controller->setAudioUnit(unit);
    h.drain(); // the continuation finds no view
    EXPECT_EQ(h.count("AU Diagnostics: WARNING: Plugin view is not loaded."), 1u);
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 0u);
    h.show();
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 1u);
    // The panel shows the unit's values (attack 0.1), so the first drag starts from them ...
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueAttack, 0.1f);
    EXPECT_NEAR(h.pointer(h.shown(), kKnobs[0]), -116, 3);
    // ... and follows the host.
    unit->parameterTree()->parameterWithAddress(3)->setValue(0.7f);
    h.drain();
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueRatio, 0.7f);
    EXPECT_NEAR(h.pointer(h.shown(), kKnobs[3]), 58, 3);
    // A later continuation of the same assignment connects nothing twice.
    h.drain();
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 1u);
}

TEST(Binding, HostChangesReachThePanelOnceOnTheMainThreadAfterTheObserverReturned) {
    Harness h;
    auto unit = h.open(makeUnit());
    h.controller->setAudioUnit(unit); // a second assignment replaces the observer
    h.drain();
    h.console.clear();
    std::thread host([&] { unit->parameterTree()->parameterWithAddress(3)->setValue(0.25f); });
    host.join();
    EXPECT_EQ(h.count("editor received parameter : address: 3, value: 0.25"), 0u); // queued only
    h.drain();
    EXPECT_EQ(h.count("editor received parameter : address: 3, value: 0.25"), 1u);

    // A new unit: changes on the old one's tree no longer move the panel.
    auto other = makeUnit();
    h.controller->setAudioUnit(other);
    h.drain();
    h.console.clear();
    unit->parameterTree()->parameterWithAddress(3)->setValue(0.9f);
    h.drain();
    EXPECT_EQ(h.count("editor received parameter : address: 3, value: 0.9"), 0u);
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueRatio, 0.5f);
    EXPECT_NEAR(h.pointer(h.shown(), kKnobs[3]), 0, 3); // the new unit's ratio, 0.5
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
    h.resize(768, 510);
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

// The unit's own tree, and a tree with meter flags, an unknown unit kind and value strings: each
// parameter is one block of exact lines, at level one inside its group.
TEST(ParameterDump, EachParameterPrintsOneBlockOfTheExactLines) {
    const std::string found = "\tExtensionViewController: Folllowing AU parameter was found... ";
    const auto unit = makeUnit();
    const auto unitDump = dumpOf(unit->parameterTree());
    EXPECT_EQ(std::count(unitDump.begin(), unitDump.end(), found), 12);
    EXPECT_EQ(std::count(unitDump.begin(), unitDump.end(), "\t- address:  11"), 1);
    const auto tree = AUParameterTree::createTree({AUParameterTree::createGroup(
        "g", "g",
        {AUParameterTree::createParameter("Meter", "Meter", 5, 0, 1, pf::AudioUnitParameterUnit(13),
                                          "dB", 0x8000 | 0x30000,
                                          std::vector<std::string>{"a", "b"}, std::nullopt),
         AUParameterTree::createParameter("Odd", "Odd", 6, 0, 1, pf::AudioUnitParameterUnit(99),
                                          std::nullopt, 0, std::nullopt, std::nullopt)})});
    const auto treeDump = dumpOf(tree);
    // The meter parameter's block, its lines joined.
    const std::string meter =
        "\n" + found +
        "\n\t- address:  5\n\t- displayName:  Meter\n\t- value:  0.0\n\t- options:  "
        "AudioUnitParameterOptions(rawValue: 229376)\n\t- The flag value includes the following "
        "flags... \n - flag_MeterReadOnly\n\t - flag_DisplaySquareRoot\n\t - flag_DisplaySquared\n"
        "\t - flag_DisplayCubed\n\t- maxValue:  1.0\n\t- minValue:  0.0\n\t- unit: (type 13)  "
        "decibels\n\t- unitName:  dB\n\t- valueStrings:  [\"a\", \"b\"]\n";
    std::string block;
    for (std::size_t i = 0; i < 16 && i < treeDump.size(); ++i)
        block += treeDump[i] + "\n";
    EXPECT_EQ(block, meter);
    EXPECT_NE(
        std::find(treeDump.begin(), treeDump.end(), "\t- unit: (type 99)  unknown parameter kind"),
        treeDump.end());
}
