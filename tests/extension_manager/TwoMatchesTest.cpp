// Two bundles match; the first in the component manager's answer is instantiated.
#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerTwoMatches, InstantiatesTheFirstMatchAndKeepsBothInTheList) {
    ManagerRun run;
    ASSERT_TRUE(run.delegate->runMainUntilInitialized());
    const auto available = run.manager->availableAudioUnits();
    ASSERT_EQ(available.size(), 2u);
    EXPECT_EQ(available[0]->name(), "First");
    EXPECT_EQ(available[1]->name(), "Second");

    // Only the first bundle's code ran.
    std::vector<std::string> bundleLines = run.console.lines();
    std::erase_if(bundleLines,
                  [](const std::string& l) { return !l.starts_with("TestGain: bundle "); });
    ASSERT_EQ(bundleLines.size(), 1u);
    EXPECT_TRUE(bundleLines[0].ends_with("/two/A_First.appex")) << bundleLines[0];
    EXPECT_EQ(run.delegate->events().size(), 2u);
}

} // namespace
