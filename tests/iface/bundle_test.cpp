// The plug-in's interface loaded from a bundle through the registry, as a host loads it: the
// principal class is made and its view loaded on the main thread, the unit made on a global
// thread, the parameters connected, the meters polled, and the same controller handed out.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "audio/AVAudioNode.h"
#include "audio/AudioComponentBundles.h"
#include "core/Console.h"
#include "core/Dispatch.h"
#include "core/RunLoop.h"
#include "ui/UIViewController.h"
#include "ui/WindowBackend.h"

using namespace pf;
using namespace std::chrono_literals;

namespace {

constexpr AudioComponentDescription kPlugin{fourCharCode("aumf"), fourCharCode("orvc"),
                                            fourCharCode("Qrbn"), 0, 0};

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(InterfaceBundle, AHostGetsAConnectedInterfaceThatFollowsTheTree) {
    RunLoop::claimMainThread();
    auto previous = WindowBackend::setShared(std::make_unique<OffscreenBackend>());
    ConsoleCapture console;
    AudioComponentRegistry registry;
    registry.addComponentSource(audioComponentBundleSource({IFACE_BUNDLE_FOLDER}));

    struct Outcome {
        std::atomic<bool> done{false};
        std::shared_ptr<AVAudioUnit> unit;
        std::optional<NSError> error;
    };
    auto outcome = std::make_shared<Outcome>();
    AVAudioUnit::instantiate(
        registry, kPlugin, 0,
        [outcome](std::shared_ptr<AVAudioUnit> unit, std::optional<NSError> error) {
            outcome->unit = std::move(unit);
            outcome->error = std::move(error);
            DispatchQueue::main().async([outcome] { outcome->done = true; });
        });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return outcome->done.load(); }, 10s));
    ASSERT_TRUE(outcome->unit) << outcome->error->localizedDescription();
    const auto au = outcome->unit->auAudioUnit();

    std::shared_ptr<UIViewController> controller;
    au->requestViewController(
        [&](std::shared_ptr<UIViewController> c) { controller = std::move(c); });
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return controller != nullptr; }, 10s));
    EXPECT_TRUE(controller->isViewLoaded());
    RunLoop::main().runFor(100ms);

    const auto lines = console.lines();
    EXPECT_TRUE(
        contains(lines, "AudioUnitViewController: WARNING: The audio unit plugin is nil (yet?)."));
    EXPECT_TRUE(contains(lines, "AU Diagnostics: AUAudioUnit::didSet()"));
    EXPECT_TRUE(contains(lines, "AU Diagnostics: Connected parameters to the plugins interface."));
    // The plug-in finds its own bundle's resources.
    const std::string resources =
        std::filesystem::canonical(std::string(IFACE_BUNDLE) + "/Resources").string();
    EXPECT_TRUE(contains(lines, "Audio Unit's resources path is: " + resources));
    // Not in a window yet: the meter ticks end at the visibility test, silently.
    EXPECT_FALSE(contains(lines, "WARNING: The Audio unit is not initialized."));

    console.clear();
    std::thread host([&] { au->parameterTree()->parameterWithAddress(3)->setValue(0.7f); });
    host.join();
    RunLoop::main().drainQueue();
    EXPECT_TRUE(contains(console.lines(), "editor received parameter : address: 3, value: 0.7"));

    outcome->unit.reset();
    controller.reset();
    RunLoop::main().drainQueue();
    WindowBackend::setShared(std::move(previous));
}
