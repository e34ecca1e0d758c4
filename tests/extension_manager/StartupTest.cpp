// A successful start-up with one matching plug-in bundle.
#include <algorithm>

#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerStartup, PrintsItsLinesAndCallsTheDelegateInOrderOnTheInstantiationThread) {
    pf::RunLoop::claimMainThread();
    pf::ConsoleCapture console;
    auto delegate = std::make_shared<RecordingDelegate>(console);
    const auto manager = AUExtensionManager::make(delegate);
    // Construction prints the note itself; the search runs on a global queue and may already
    // have printed more by now.
    ASSERT_FALSE(console.lines().empty());
    EXPECT_EQ(console.lines().front(), kNote);

    ASSERT_TRUE(runMainUntilInitialized(*delegate));
    const auto lines = withoutPluginLines(console.lines());

    std::vector<std::string> expected{kNote};
    for (const auto& line : logLines("0x00000002"))
        expected.push_back(line);
    expected.push_back("AUExtensionManager: Audio unit was found, making connections now ...");
    ASSERT_GE(lines.size(), expected.size() + 2);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + expected.size()), expected);
    // The engine player's own lines come next, then the manager's last two.
    const auto performed = std::find(lines.begin(), lines.end(),
                                     "AUExtensionManager: Performed audio unit connection.");
    ASSERT_NE(performed, lines.end());
    for (auto it = lines.begin() + expected.size(); it != performed; ++it) {
        EXPECT_EQ(it->rfind("AUEnginePlayer", 0), 0u) << *it;
    }
    EXPECT_NE(std::find(lines.begin() + expected.size(), performed,
                        "AUEnginePlayer: Audio unit was attached."),
              performed);
    ASSERT_EQ(performed + 2, lines.end());
    EXPECT_EQ(*(performed + 1), "WARNING: Audio unit is nil (yet?).");

    // onFoundComponent(unit:) after the performed line, onEngineInitialized() after the warning,
    // both on the one thread of the instantiation's completion.
    const auto all = console.lines();
    const auto indexOf = [&](const std::string& line) {
        return static_cast<std::size_t>(std::find(all.begin(), all.end(), line) - all.begin());
    };
    const auto events = delegate->events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, "onFoundComponent");
    EXPECT_EQ(events[0].linesBefore,
              indexOf("AUExtensionManager: Performed audio unit connection.") + 1);
    EXPECT_EQ(events[1].name, "onEngineInitialized");
    EXPECT_EQ(events[1].linesBefore, indexOf("WARNING: Audio unit is nil (yet?).") + 1);
    EXPECT_FALSE(events[0].onMainThread);
    EXPECT_EQ(events[0].thread, events[1].thread);

    ASSERT_TRUE(events[0].unit && events[0].unit->auAudioUnit());
    EXPECT_EQ(events[0].unit->auAudioUnit()->contextName(), "running in distribution host");
    EXPECT_EQ(manager->availableAudioUnits().size(), 1u);

    // The manager never keeps the unit: no presets, no current preset, and setting one is a no-op.
    EXPECT_FALSE(manager->audioUnit());
    EXPECT_FALSE(manager->viewController());
    EXPECT_TRUE(manager->presets().empty());
    EXPECT_FALSE(manager->currentPreset());
    const auto before = console.lines().size();
    manager->setCurrentPreset(std::nullopt);
    EXPECT_EQ(console.lines().size(), before);

    manager->setDelegate(nullptr);
}

TEST(ExtensionManagerStartup, PresetsWrapTheUnitsPresetsWhenAUnitIsSet) {
    pf::RunLoop::claimMainThread();
    pf::ConsoleCapture console;
    auto delegate = std::make_shared<RecordingDelegate>(console);
    const auto manager = AUExtensionManager::make(delegate);
    ASSERT_TRUE(runMainUntilInitialized(*delegate));
    const auto unit = delegate->events()[0].unit->auAudioUnit();
    manager->setAudioUnit(unit);
    const auto printed = console.lines().size();
    manager->connectParametersToControls(); // no warning once a unit is there
    EXPECT_EQ(console.lines().size(), printed);

    const auto preset = pf::AUAudioUnitPreset::make("Soft", 3);
    unit->setCurrentPreset(preset);
    ASSERT_TRUE(manager->currentPreset());
    EXPECT_EQ(manager->currentPreset()->name(), "Soft");
    EXPECT_EQ(manager->currentPreset()->number(), 3);
    manager->setCurrentPreset(std::nullopt);
    EXPECT_FALSE(unit->currentPreset());
    EXPECT_TRUE(manager->presets().empty()); // the gain unit has no factory presets

    manager->setDelegate(nullptr);
}

} // namespace
