// This test binary is built as the executable of an application bundle, HostProbe.app, whose
// PlugIns folder holds the test plug-in: the shared registry finds it there without any
// PF_AUDIO_COMPONENT_PATH, and host and plug-in each see their own bundle.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>

#include <gtest/gtest.h>

#include "audio/AVAudioNode.h"
#include "audio/AVAudioUnitComponent.h"
#include "audio/AudioComponentBundles.h"
#include "core/Bundle.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"

namespace pf {
namespace {

TEST(ApplicationPlugIns, TheSharedRegistryFindsTheApplicationsOwnPlugIns) {
    RunLoop::claimMainThread();
    const auto app = runningApplicationBundlePath();
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->ends_with("/HostProbe.app"));
    EXPECT_EQ(std::filesystem::canonical(Bundle::main().bundlePath()),
              std::filesystem::canonical(*app));

    const AudioComponentDescription plugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                           fourCharCode("Qrbn"), 2, 0};
    const auto found =
        AVAudioUnitComponentManager::sharedAudioUnitComponentManager().components(plugin);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->name(), "Test Gain");

    ConsoleCapture console;
    std::shared_ptr<AVAudioUnit> unit;
    std::atomic<bool> done{false};
    AVAudioUnit::instantiate(plugin, 0, [&](std::shared_ptr<AVAudioUnit> made, auto) {
        unit = std::move(made);
        DispatchQueue::main().async([&] { done = true; });
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done.load(); }, std::chrono::seconds(10)));
    ASSERT_TRUE(unit);
    const std::string pluginBundle =
        std::filesystem::canonical(*app + "/PlugIns/TestGain.appex").string();
    const auto lines = console.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "TestGain: bundle " + pluginBundle),
              lines.end());
}

} // namespace
} // namespace pf
