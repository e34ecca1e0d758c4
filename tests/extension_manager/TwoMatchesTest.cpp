// Two bundles match; the first in the component manager's answer is instantiated.
#include <algorithm>

#include "ManagerFixtures.h"

namespace {

using namespace test;

TEST(ExtensionManagerTwoMatches, InstantiatesTheFirstMatchAndKeepsBothInTheList) {
    pf::RunLoop::claimMainThread();
    pf::ConsoleCapture console;
    auto delegate = std::make_shared<RecordingDelegate>(console);
    const auto manager = AUExtensionManager::make(delegate);
    ASSERT_TRUE(runMainUntilInitialized(*delegate));

    const auto available = manager->availableAudioUnits();
    ASSERT_EQ(available.size(), 2u);
    EXPECT_EQ(available[0]->name(), "First");
    EXPECT_EQ(available[1]->name(), "Second");

    // Only the first bundle's code ran.
    const auto lines = console.lines();
    const auto bundleLine = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
        return l.rfind("TestGain: bundle ", 0) == 0;
    });
    ASSERT_NE(bundleLine, lines.end());
    EXPECT_TRUE(bundleLine->ends_with("/two/A_First.appex")) << *bundleLine;
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.rfind("TestGain: bundle ", 0) == 0; }),
        1);
    ASSERT_EQ(delegate->events().size(), 2u);
    manager->setDelegate(nullptr);
}

} // namespace
