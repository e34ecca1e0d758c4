// The only matching bundle's factory fails.
#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerFailure, PrintsTheDescriptionAndTheErrorAndNeverCallsTheDelegate) {
    ManagerRun run;
    ASSERT_TRUE(runMainUntilLine(run.console, "Error: Could not instantiate audio unit."));
    std::vector<std::string> expected{kNote};
    for (const auto& line : logLines("0x00000002"))
        expected.push_back(line);
    expected.push_back("AudioComponentDescription(componentType: 1635085670, componentSubType: "
                       "1869772387, componentManufacturer: 1366450798, componentFlags: 2, "
                       "componentFlagsMask: 0)");
    expected.push_back("Error: Could not instantiate audio unit.");
    EXPECT_EQ(withoutPluginLines(run.console.lines()), expected);
    EXPECT_TRUE(run.delegate->events().empty());
}

} // namespace
