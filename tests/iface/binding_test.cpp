#include <gtest/gtest.h>

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
    ASSERT_EQ(h.controller->parameterList().size(), 12u);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(h.controller->parameterList()[i]->address(), i);
    EXPECT_DOUBLE_EQ(h.controller->mainView->baseClass->valueAttack, 0.1f);
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
    EXPECT_FALSE(h.has("AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?)."));
    EXPECT_EQ(h.controller->parameterList().size(), 12u);
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

TEST(Binding, FactoryFirstAndViewBeforeTheContinuationConnectsOnceWithoutTheWarning) {
    Harness h;
    h.controller->setAudioUnit(makeUnit());
    h.show(); // before the queued continuation runs
    h.drain();
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 1u);
    EXPECT_FALSE(h.has("AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?)."));
    EXPECT_FALSE(h.has("AU Diagnostics: WARNING: Plugin view is not loaded."));
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

TEST(Binding, AssigningNoUnitReportsTheMissingUnitAndKeepsTheConnection) {
    Harness h;
    h.show();
    h.controller->setAudioUnit(makeUnit());
    h.drain();
    h.console.clear();
    h.controller->setAudioUnit(nullptr);
    h.drain();
    EXPECT_TRUE(h.has("Error: could not set paths, audio unit is nil."));
    EXPECT_TRUE(h.has("AU Diagnostics: WARNING: The audio unit is nil."));
    EXPECT_EQ(h.controller->parameterList().size(), 12u);
    h.controller->onOrvexCompressorViewParameter(2, 0.3f); // dropped silently
}

// A drag on a knob reaches the unit and its tree through the delegate; the pan on the
// controller's view saw the drag too, but the knob held the touch lock, so the panel stays.
TEST(Binding, AKnobDragSetsTheUnitsParameterAndLeavesThePanelInPlace) {
    Harness h;
    h.show();
    auto unit = makeUnit();
    h.controller->setAudioUnit(unit);
    h.drain();
    h.window->runPasses();
    const auto& base = *h.controller->mainView->baseClass;
    ASSERT_DOUBLE_EQ(base.viewScale.width, 1.5); // 768 x 510 panel
    const pf::CGRect panelBefore = h.controller->pluginView->frame();
    const CGPoint start = h.panelPoint(Harness::centre(base.hotspotAttackPath));
    h.down(start);
    h.move({start.x, start.y - 30});
    h.move({start.x, start.y - 60}); // 40 design units up: +0.2
    EXPECT_FLOAT_EQ(unit->parameterTree()->parameterWithAddress(0)->value(), 0.3f);
    h.up({start.x, start.y - 60});
    EXPECT_FALSE(h.controller->touchesLocked);
    EXPECT_EQ(h.controller->pluginView->frame(), panelBefore);
}

namespace {
// A controller whose unit cannot be made.
class RefusingController : public AudioUnitViewController {
public:
    std::shared_ptr<pf::AUAudioUnit>
    createAudioUnit(const pf::AudioComponentDescription&) override {
        throw pf::NSErrorException(pf::NSError(pf::NSOSStatusErrorDomain, -10875));
    }
};
} // namespace

// The factory entry returns the unit and no error; when the unit cannot be made it returns none,
// hands the error to the host and leaves the unit as it was.
TEST(Binding, TheFactoryEntryReturnsTheUnitOrTheErrorAndNoUnit) {
    Harness h;
    std::optional<pf::NSError> error;
    auto unit = h.controller->createAudioUnitWithComponentDescription(
        Orvex_Compander_Extension_AudioUnit::kComponentDescription, &error);
    EXPECT_TRUE(unit);
    EXPECT_FALSE(error);
    EXPECT_EQ(h.controller->audioUnit(), unit);
    EXPECT_NE(makeOrvexPrincipal("AudioUnitViewController"), nullptr);
    EXPECT_EQ(makeOrvexPrincipal("Other"), nullptr);

    auto refusing = std::make_shared<RefusingController>();
    auto kept = makeUnit();
    refusing->setAudioUnit(kept);
    EXPECT_EQ(refusing->createAudioUnitWithComponentDescription(
                  Orvex_Compander_Extension_AudioUnit::kComponentDescription, &error),
              nullptr);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -10875);
    EXPECT_EQ(refusing->audioUnit(), kept);
    EXPECT_EQ(refusing->createAudioUnitWithComponentDescription(
                  Orvex_Compander_Extension_AudioUnit::kComponentDescription, nullptr),
              nullptr);
}
