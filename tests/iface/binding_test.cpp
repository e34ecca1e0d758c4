#include <gtest/gtest.h>

#include <thread>

#include "IfaceHarness.h"

using namespace ifacetest;

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
    EXPECT_TRUE(h.has("AU Diagnostics: WARNING: Plugin view is not loaded."));
    EXPECT_FALSE(h.has("AU Diagnostics: Connected parameters to the plugins interface."));
    h.show();
    EXPECT_EQ(h.count("AU Diagnostics: Connected parameters to the plugins interface."), 1u);
    // The panel shows the unit's values (attack 0.1), so the first drag starts from them ...
    EXPECT_NEAR(h.pointer(h.shown(), kKnobs[0]), -116, 3);
    // ... and follows the host.
    unit->parameterTree()->parameterWithAddress(3)->setValue(0.7f);
    h.drain();
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
    EXPECT_NEAR(h.pointer(h.shown(), kKnobs[3]), 0, 3); // the new unit's ratio, 0.5
}
