// A successful start-up with one matching plug-in bundle.
#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerStartup, PrintsItsLinesAndCallsTheDelegateInOrderOnTheInstantiationThread) {
    ManagerRun run;
    // Construction prints the note itself; the search runs on a global queue.
    ASSERT_FALSE(run.console.lines().empty());
    EXPECT_EQ(run.console.lines().front(), kNote);
    ASSERT_TRUE(run.delegate->runMainUntilInitialized());

    const std::string performed = "AUExtensionManager: Performed audio unit connection.";
    const std::string warning = "WARNING: Audio unit is nil (yet?).";
    std::vector<std::string> expected{kNote};
    for (const auto& line : logLines("0x00000002"))
        expected.push_back(line);
    expected.push_back("AUExtensionManager: Audio unit was found, making connections now ...");
    // The engine player's own lines come next, then the manager's last two.
    auto lines = withoutPluginLines(run.console.lines());
    ASSERT_GE(lines.size(), expected.size() + 3);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{performed, warning}));
    const std::vector<std::string> player(lines.begin() + long(expected.size()), lines.end() - 2);
    lines.resize(expected.size());
    EXPECT_EQ(lines, expected);
    EXPECT_NE(std::find(player.begin(), player.end(), "AUEnginePlayer: Audio unit was attached."),
              player.end());

    // onFoundComponent(unit:) after the performed line, onEngineInitialized() after the warning,
    // both on the one thread of the instantiation's completion.
    const auto all = run.console.lines();
    const auto after = [&](const std::string& line) {
        return std::size_t(std::find(all.begin(), all.end(), line) - all.begin()) + 1;
    };
    const auto events = run.delegate->events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].name, "onFoundComponent");
    EXPECT_EQ(events[0].linesBefore, after(performed));
    EXPECT_EQ(events[1].name, "onEngineInitialized");
    EXPECT_EQ(events[1].linesBefore, after(warning));
    EXPECT_FALSE(events[0].onMainThread);
    EXPECT_EQ(events[0].thread, events[1].thread);
    ASSERT_TRUE(events[0].unit && events[0].unit->auAudioUnit());
    EXPECT_EQ(events[0].unit->auAudioUnit()->contextName(), "running in distribution host");
    EXPECT_EQ(run.manager->availableAudioUnits().size(), 1u);
}

// The manager never keeps the unit it made: the engine player holds it. So the manager lists no
// presets and reads no current preset even when the unit has one, and setting one there leaves
// the unit's as it was.
TEST(ExtensionManagerStartup, KeepsNoUnitSoItShowsNoPresetsAndSetsNoneOnTheUnitItMade) {
    ManagerRun run;
    ASSERT_TRUE(run.delegate->runMainUntilInitialized());
    const auto events = run.delegate->events();
    ASSERT_FALSE(events.empty());
    ASSERT_TRUE(events[0].unit && events[0].unit->auAudioUnit());
    const auto made = events[0].unit->auAudioUnit();
    const auto current = pf::AUAudioUnitPreset::make("Punchy Drums", 3);
    made->setCurrentPreset(current);

    EXPECT_EQ(run.manager->audioUnit(), nullptr);
    EXPECT_EQ(run.manager->viewController(), nullptr);
    EXPECT_TRUE(run.manager->presets().empty());
    EXPECT_EQ(run.manager->currentPreset(), std::nullopt);

    const auto other = std::make_shared<StepsManager>(nullptr);
    const auto unit = std::make_shared<PresetUnit>();
    unit->list = {{pf::AUAudioUnitPreset::make("Vocal Presence", 4)}};
    other->setAudioUnit(unit);
    const auto presets = other->presets();
    ASSERT_EQ(presets.size(), 1u);
    run.manager->setCurrentPreset(presets[0]);
    EXPECT_EQ(made->currentPreset(), current);
}

} // namespace
