// No plug-in bundle in the search folders; and, reached directly, the start-up's refusal steps,
// the component log's flags and the presets of a unit given to the manager.
#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerNoMatch, StepsRefuseAMissingComponentOrDescriptionAndLogFlagsInPrintfForm) {
    pf::ConsoleCapture console;
    auto delegate = std::make_shared<RecordingDelegate>(console);
    const auto manager = std::make_shared<StepsManager>(delegate);
    bool completed = false;
    manager->selectfoundComponent(nullptr, [&] { completed = true; });
    manager->selectAudioUnitWithComponentDescription(std::nullopt, [&] { completed = true; });
    EXPECT_EQ(console.lines(), (std::vector<std::string>{"ERROR: Component is nil.",
                                                         "Error: Component description is nil."}));
    EXPECT_FALSE(completed);

    // Flags 0 take no 0x prefix in the alternate form.
    console.clear();
    manager->log({0x61756D66, 0x6F727663, 0x5172626E, 0, 0});
    auto expected = logLines("0000000000");
    expected.erase(expected.begin()); // the "Loaded component" line belongs to the caller
    EXPECT_EQ(console.lines(), expected);
    EXPECT_EQ(console.text().substr(0, 14), "\nProcess Name:");

    console.clear();
    manager->log({0x61756D66, 0x6F727663, 0x5172626E, 0x8000000F, 0});
    EXPECT_EQ(console.lines()[7], "flags: 0x8000000f");
    EXPECT_TRUE(delegate->events().empty());
}

TEST(ExtensionManagerNoMatch, SaysSoAndNeverCallsTheDelegate) {
    ManagerRun run;
    ASSERT_TRUE(runMainUntilLine(run.console, "ERROR: There were no audio units found."));
    EXPECT_EQ(run.console.lines(),
              (std::vector<std::string>{kNote, "ERROR: There were no audio units found."}));
    EXPECT_TRUE(run.manager->availableAudioUnits().empty());
    EXPECT_TRUE(run.delegate->events().empty());
}

// Given a unit, the manager lists its factory presets in the unit's order and reads through to
// the very preset objects, so a renamed preset shows its new name; the current preset is read
// from and written to the unit. Without a unit, or with a unit that has no list, there are no
// presets and writing the current one changes nothing.
TEST(ExtensionManagerPresets, WrapTheUnitsPresetsAndPassTheCurrentOneThrough) {
    const auto manager = std::make_shared<StepsManager>(nullptr);
    const auto unit = std::make_shared<PresetUnit>();
    const std::vector<std::shared_ptr<pf::AUAudioUnitPreset>> list{
        pf::AUAudioUnitPreset::make("Broad Expander", 0),
        pf::AUAudioUnitPreset::make("Gentle Glue", 1),
        pf::AUAudioUnitPreset::make("Late Night Whisper", 2)};
    unit->list = list;
    manager->setAudioUnit(unit);

    const auto presets = manager->presets();
    ASSERT_EQ(presets.size(), 3u);
    for (std::size_t i = 0; i < presets.size(); ++i) {
        EXPECT_EQ(presets[i].audioUnitPreset(), list[i]) << i;
        EXPECT_EQ(presets[i].name(), list[i]->name) << i;
        EXPECT_EQ(presets[i].number(), std::int64_t(i)) << i;
    }
    list[1]->name = "Gentler Glue";
    list[1]->number = 7;
    EXPECT_EQ(presets[1].name(), "Gentler Glue");
    EXPECT_EQ(presets[1].number(), 7);

    EXPECT_EQ(manager->currentPreset(), std::nullopt);
    unit->setCurrentPreset(list[0]);
    ASSERT_TRUE(manager->currentPreset());
    EXPECT_EQ(manager->currentPreset()->audioUnitPreset(), list[0]);
    EXPECT_EQ(manager->currentPreset()->name(), "Broad Expander");
    manager->setCurrentPreset(presets[2]);
    EXPECT_EQ(unit->currentPreset(), list[2]);
    manager->setCurrentPreset(std::nullopt);
    EXPECT_EQ(unit->currentPreset(), nullptr);

    unit->list = std::nullopt;
    EXPECT_TRUE(manager->presets().empty());

    unit->setCurrentPreset(list[0]);
    manager->setAudioUnit(nullptr);
    EXPECT_TRUE(manager->presets().empty());
    EXPECT_EQ(manager->currentPreset(), std::nullopt);
    manager->setCurrentPreset(presets[1]);
    EXPECT_EQ(unit->currentPreset(), list[0]);
}

} // namespace
