// No plug-in bundle in the search folders.
#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerNoMatch, SaysSoAndNeverCallsTheDelegate) {
    ManagerRun run;
    ASSERT_TRUE(runMainUntilLine(run.console, "ERROR: There were no audio units found."));
    EXPECT_EQ(run.console.lines(),
              (std::vector<std::string>{kNote, "ERROR: There were no audio units found."}));
    EXPECT_TRUE(run.manager->availableAudioUnits().empty());
    EXPECT_TRUE(run.delegate->events().empty());
}

} // namespace
