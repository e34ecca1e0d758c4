// The shared registry scans the folders of PF_AUDIO_COMPONENT_PATH (set for this test binary to a
// missing folder and the folder of the test bundle) at its first query.
#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

#include "audio/AVAudioNode.h"
#include "audio/AVAudioUnitComponent.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"

namespace pf {
namespace {

constexpr AudioComponentDescription kPlugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                            fourCharCode("Qrbn"), 2, 0};

TEST(SharedRegistry, FindsTheBundlesOfTheComponentPathOnce) {
    auto& manager = AVAudioUnitComponentManager::sharedAudioUnitComponentManager();
    const auto found = manager.components(kPlugin);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->name(), "Test Gain");
    EXPECT_EQ(found[0]->audioComponentDescription().componentFlags, 2u);
    EXPECT_EQ(manager.components(kPlugin).size(), 1u);
    EXPECT_EQ(AudioComponentCount(kPlugin), 1u);
}

TEST(SharedRegistry, AUnitFromABundleKnowsItsRegisteredComponent) {
    RunLoop::claimMainThread();
    std::shared_ptr<AVAudioUnit> unit;
    std::atomic<bool> done{false};
    AVAudioUnit::instantiate(kPlugin, 0, [&](std::shared_ptr<AVAudioUnit> made, auto) {
        unit = std::move(made);
        DispatchQueue::main().async([&] { done = true; });
    });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done.load(); }, std::chrono::seconds(10)));
    ASSERT_TRUE(unit && unit->auAudioUnit());
    EXPECT_EQ(unit->auAudioUnit()->componentName(), "Tstm: Test Gain");
    EXPECT_EQ(unit->name(), "Test Gain");
    EXPECT_EQ(unit->version(), 1u);
}

} // namespace
} // namespace pf
