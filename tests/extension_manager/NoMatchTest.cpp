// No plug-in bundle in the search folders; and the start-up's refusal steps and the component
// log's flags, reached directly.
#include "ManagerFixtures.h"

namespace {

using namespace test;

// Reaches the start-up's steps directly.
class StepsManager : public AUExtensionManager {
public:
    explicit StepsManager(std::shared_ptr<AUExtensionManagerDelegate> delegate)
        : AUExtensionManager(std::move(delegate)) {}
    using AUExtensionManager::log;
    using AUExtensionManager::selectAudioUnitWithComponentDescription;
    using AUExtensionManager::selectfoundComponent;
};

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

} // namespace
